#include "devicelink/PollTiming.h"

#include <QString>

namespace devicelink {

namespace PollTiming {

qint64 intervalUs()
{
    static const qint64 interval = [] {
        bool ok = false;
        const qint64 value = qEnvironmentVariable("IVEVA_POLL_US").toLongLong(&ok);
        return ok && value > 0 ? value : qint64(50);
    }();
    return interval;
}

qint64 pollsPerCancelCheck()
{
    return qMax<qint64>(1, CancelCheckUs / intervalUs());
}

} // namespace PollTiming

} // namespace devicelink
