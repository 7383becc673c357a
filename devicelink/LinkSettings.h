#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>

namespace devicelink {

class WireTrace;

// What the device link takes from the run's context: where the COM ports are and what an
// empty poll costs. main() reads both once; nothing below it looks at the environment.
struct LinkSettings
{
    static constexpr qint64 DefaultPollIntervalUs = 50;
    static constexpr qint64 MinPollIntervalUs = 1;
    static constexpr qint64 MaxPollIntervalUs = 1000;

    // The folder whose entries COM1..COM99 are the ports (IVEVA_PORT_DIR); empty: the system's
    // own device names.
    QString portDir;
    // The wall time of one empty poll (IVEVA_POLL_US).
    qint64 pollIntervalUs = DefaultPollIntervalUs;
    // Where the bytes on the wire are traced (--trace, or the log list's menu); none: nowhere.
    std::shared_ptr<WireTrace> trace;
};

} // namespace devicelink
