#include "flasher/update/UpdateBatch.h"

#include "flasher/update/ConsoleFirmwareInfoUi.h"
#include "flasher/update/FirmwareInfo.h"
#include "flasher/update/UpdateClient.h"
#include "flasher/update/UpdateFolder.h"

namespace flasher {

using namespace devicelink;

namespace UpdateBatch {

namespace {

const QString UpdateOption = QStringLiteral("update");
const QString YesOption = QStringLiteral("yes");
const QString CopyOption = QStringLiteral("copy");
const QString UrlOption = QStringLiteral("update-url");
const QString TimeoutOption = QStringLiteral("download-timeout");
constexpr int MaxTimeoutSeconds = 3600;

} // namespace

void addOptions(QCommandLineParser &parser)
{
    parser.addOption({UpdateOption, QStringLiteral("Firmwareversion abfragen und online nach "
                                                   "einem Update suchen.")});
    parser.addOption({YesOption, QStringLiteral("Mit --update: neue Firmware ohne Rückfrage "
                                                "herunterladen und programmieren.")});
    parser.addOption({CopyOption,
                      QStringLiteral("Mit --update: Kopie der neuen Firmware hier speichern "
                                     "(Datei oder Ordner)."),
                      QStringLiteral("PATH")});
    parser.addOption(
        {TimeoutOption,
         QStringLiteral("Mit --update: Höchstdauer jedes Downloads in Sekunden, 1 bis %1 "
                        "(Vorgabe: %2 s für die Versionsdatei, %3 s für die Firmware).")
             .arg(MaxTimeoutSeconds)
             .arg(DownloadLimits().versionFileMs / 1000)
             .arg(DownloadLimits().imageMs / 1000),
         QStringLiteral("SEKUNDEN")});
    parser.addOption({UrlOption,
                      QStringLiteral("Adresse des Update-Servers (sonst %1, die gespeicherte "
                                     "Einstellung oder %2).")
                          .arg(QLatin1String(UpdateClient::EnvironmentVariable),
                               QLatin1String(UpdateClient::DefaultBaseUrl)),
                      QStringLiteral("URL")});
}

std::optional<UpdateBatchOptions> readOptions(const QCommandLineParser &parser, QString *error)
{
    UpdateBatchOptions options;
    options.yes = parser.isSet(YesOption);
    options.copyPath = parser.value(CopyOption);
    options.updateUrl = parser.value(UrlOption);
    if (parser.isSet(TimeoutOption)) {
        bool ok = false;
        const int seconds = parser.value(TimeoutOption).toInt(&ok);
        if (!ok || seconds < 1 || seconds > MaxTimeoutSeconds) {
            *error = QStringLiteral("--download-timeout erwartet Sekunden von 1 bis %1")
                         .arg(MaxTimeoutSeconds);
            return std::nullopt;
        }
        options.limits.versionFileMs = options.limits.imageMs = seconds * 1000;
    }
    return options;
}

FirmwareInfo::Outcome run(const UpdateBatchOptions &options, SerialPort &port,
                          const LinkHooks &hooks, QTextStream &out)
{
    const QUrl base = UpdateClient::configuredBaseUrl(options.updateUrl);
    if (!base.isValid()) {
        out << "Ungültige Adresse des Update-Servers" << Qt::endl;
        return FirmwareInfo::Outcome::Failed;
    }
    const QString folder =
        options.downloadFolder.isEmpty() ? UpdateFolder::pick() : options.downloadFolder;
    if (folder.isEmpty()) {
        out << "Kein beschreibbarer Ordner für die Downloads" << Qt::endl;
        return FirmwareInfo::Outcome::Failed;
    }

    UpdateClient client(base, options.limits);
    ConsoleFirmwareInfoUi ui(out, options.yes, options.copyPath);
    QByteArray receiveText;
    return FirmwareInfo(port, client, ui, hooks)
        .run(options.comNumber, options.baudRate, receiveText, folder);
}

} // namespace UpdateBatch

} // namespace flasher
