#include "shell/RunContext.h"

#include <QDir>

namespace shell {

std::optional<RunContext> readRunContext(QString *error)
{
    using devicelink::LinkSettings;
    RunContext context;
    context.link.portDir = qEnvironmentVariable("IVEVA_PORT_DIR");
    context.workingFolder = QDir::currentPath();
    const QString pollTime = qEnvironmentVariable("IVEVA_POLL_US");
    if (!pollTime.isEmpty()) {
        bool ok = false;
        const qint64 us = pollTime.trimmed().toLongLong(&ok);
        if (!ok || us < LinkSettings::MinPollIntervalUs || us > LinkSettings::MaxPollIntervalUs) {
            *error = QStringLiteral("IVEVA_POLL_US muss eine ganze Zahl von %1 bis %2 "
                                    "(Mikrosekunden) sein, nicht \"%3\"")
                         .arg(LinkSettings::MinPollIntervalUs)
                         .arg(LinkSettings::MaxPollIntervalUs)
                         .arg(pollTime);
            return std::nullopt;
        }
        context.link.pollIntervalUs = us;
    }
    return context;
}

} // namespace shell
