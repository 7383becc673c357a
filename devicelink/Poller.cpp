#include "devicelink/Poller.h"

#include "devicelink/PollTiming.h"

namespace devicelink {

Poller::Poller(SerialPort &port, const LinkHooks &hooks) : m_port(port), m_hooks(hooks) {}

Poller::Read Poller::next(qint64 polls)
{
    Read read;
    while (read.polls < polls) {
        if (m_hooks.isCancelled()) {
            read.end = End::Cancelled;
            return read;
        }
        const qint64 slice =
            qMin(polls - read.polls, PollTiming::pollsPerCancelCheck(m_port.pollIntervalUs()));
        const PollResult result = m_port.poll(slice);
        read.polls += result.polls;
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

} // namespace devicelink
