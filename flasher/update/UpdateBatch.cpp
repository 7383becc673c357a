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

int run(const UpdateBatchOptions &options, SerialPort &port, const LinkHooks &hooks,
        QTextStream &out)
{
    const QUrl base = UpdateClient::configuredBaseUrl(options.updateUrl);
    if (!base.isValid()) {
        out << "Ungültige Adresse des Update-Servers" << Qt::endl;
        return 1;
    }
    const QString folder =
        options.downloadFolder.isEmpty() ? UpdateFolder::pick() : options.downloadFolder;
    if (folder.isEmpty()) {
        out << "Kein beschreibbarer Ordner für die Downloads" << Qt::endl;
        return 1;
    }

    UpdateClient client(base);
    ConsoleFirmwareInfoUi ui(out, options.yes, options.copyPath);
    QByteArray Text1;
    const FirmwareInfo::Outcome outcome =
        FirmwareInfo(port, client, ui, hooks)
            .run(options.comNumber, options.baudRate, Text1, folder);
    return FirmwareInfo::succeeded(outcome) ? 0 : 1;
}

} // namespace UpdateBatch

} // namespace flasher
