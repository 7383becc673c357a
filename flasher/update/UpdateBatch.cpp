#include "UpdateBatch.h"

#include "ConsoleFirmwareInfoUi.h"
#include "FirmwareInfo.h"
#include "UpdateClient.h"
#include "UpdateFolder.h"

namespace UpdateBatch {

namespace {

const QString UpdateOption = QStringLiteral("update");
const QString YesOption = QStringLiteral("yes");
const QString CopyOption = QStringLiteral("copy");
const QString UrlOption = QStringLiteral("update-url");

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
    parser.addOption({UrlOption,
                      QStringLiteral("Adresse des Update-Servers (sonst %1, die gespeicherte "
                                     "Einstellung oder %2).")
                          .arg(QLatin1String(UpdateClient::EnvironmentVariable),
                               QLatin1String(UpdateClient::DefaultBaseUrl)),
                      QStringLiteral("URL")});
}

UpdateBatchOptions readOptions(const QCommandLineParser &parser)
{
    UpdateBatchOptions options;
    options.yes = parser.isSet(YesOption);
    options.copyPath = parser.value(CopyOption);
    options.updateUrl = parser.value(UrlOption);
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

    UpdateClient client(base);
    ConsoleFirmwareInfoUi ui(out, options.yes, options.copyPath);
    QByteArray receiveText;
    return FirmwareInfo(port, client, ui, hooks)
        .run(options.comNumber, options.baudRate, receiveText, folder);
}

} // namespace UpdateBatch
