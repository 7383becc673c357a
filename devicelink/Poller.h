#pragma once

#include "devicelink/LinkHooks.h"
#include "devicelink/SerialPort.h"

#include <QElapsedTimer>

namespace devicelink {

// Runs the counted waits of one operation on a port. A wait blocks in the operating system in
// slices of at most 50 ms, and the cancel flag is looked at between them.
class Poller
{
public:
    enum class End
    {
        Bytes,
        PollsSpent,
        Lost,
        Cancelled
    };

    struct Read
    {
        End end = End::PollsSpent;
        QByteArray bytes; // what the read returned, judged as a whole by the caller
        qint64 polls = 0;
    };

    Poller(SerialPort &port, const LinkHooks &hooks);

    // Reads until a read brings bytes or `polls` polls have passed.
    Read next(qint64 polls);

private:
    SerialPort &m_port;
    const LinkHooks &m_hooks;
};

} // namespace devicelink
