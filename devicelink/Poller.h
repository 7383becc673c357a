#pragma once

#include "devicelink/LinkHooks.h"
#include "devicelink/SerialPort.h"

#include <QElapsedTimer>

namespace devicelink {

// Runs the counted waits of one operation on a port. A wait blocks in the operating system,
// and the window's events are pumped at least every 50 ms, so a long wait never freezes it.
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
    void pumpWhenDue(qint64 pollsSpent);

    SerialPort &m_port;
    const LinkHooks &m_hooks;
    QElapsedTimer m_sincePump;
    qint64 m_pollsSincePump = 0;
};

} // namespace devicelink
