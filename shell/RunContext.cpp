#include "shell/RunContext.h"

#include "shell/SavedSettings.h"

#include <QDir>

namespace shell {

namespace {

QString chooseUpdateUrl(const UpdateUrlSources &sources)
{
    if (sources.settingsKey.isEmpty())
        return {};
    for (const QString &value :
         {sources.commandLineValue, qEnvironmentVariable(qPrintable(sources.environmentVariable)),
          savedSetting(sources.settingsKey).toString()}) {
        if (!value.trimmed().isEmpty())
            return value;
    }
    return sources.builtIn;
}

} // namespace

std::optional<RunContext> readRunContext(QString *error, const UpdateUrlSources &updateUrl)
{
    using devicelink::LinkSettings;
    RunContext context;
    context.link.portDir = qEnvironmentVariable("IVEVA_PORT_DIR");
    context.workingFolder = QDir::currentPath();
    context.updateUrl = chooseUpdateUrl(updateUrl);
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
