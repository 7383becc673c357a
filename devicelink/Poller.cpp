#include "devicelink/Poller.h"

#include "devicelink/PollTiming.h"

namespace devicelink {

Poller::Poller(SerialPort &port, const LinkHooks &hooks) : m_port(port), m_hooks(hooks)
{
    m_sincePump.start();
}

Poller::Read Poller::next(qint64 polls)
{
    Read read;
    while (read.polls < polls) {
        if (m_hooks.isCancelled()) {
            read.end = End::Cancelled;
            return read;
        }
        const qint64 slice = qMin(polls - read.polls, PollTiming::pollsPerPumpInterval());
        const PollResult result = m_port.poll(slice);
        read.polls += result.polls;
        pumpWhenDue(result.polls);
        if (result.lost) {
            read.end = End::Lost;
            return read;
        }
        if (!result.bytes.isEmpty()) {
            read.end = End::Bytes;
            read.bytes = result.bytes;
            return read;
        }
    }
    read.end = End::PollsSpent;
    return read;
}

// Pumps by wall time for the real port and by counted polls for ports without real time,
// whichever comes first.
void Poller::pumpWhenDue(qint64 pollsSpent)
{
    m_pollsSincePump += pollsSpent;
    if (m_pollsSincePump < PollTiming::pollsPerPumpInterval() &&
        m_sincePump.nsecsElapsed() < PollTiming::PumpIntervalUs * 1000)
        return;
    m_hooks.pumpEvents();
    m_pollsSincePump = 0;
    m_sincePump.restart();
}

} // namespace devicelink
