#include "flasher/update/FirmwareInfo.h"

#include "devicelink/BootloaderTransfer.h"
#include "devicelink/FileKind.h"
#include "devicelink/FlashImage.h"
#include "devicelink/LinkTexts.h"
#include "flasher/update/FirmwareVersion.h"
#include "flasher/update/SafeFileName.h"
#include "flasher/update/VersionFile.h"
#include "flasher/update/VersionQuery.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <optional>

namespace flasher {

using namespace devicelink;

namespace {

const QString AvailableLine = QStringLiteral("Verfügbare Firmwareversion: ");
const QString DownloadFailed = QStringLiteral("Download fehlgeschlagen");
const QString VersionFileFailed = QStringLiteral("Update Fehler! Internetverbindung aktiv?");
// Far more than a ".minisig" holds; the parser refuses more anyway.
constexpr qint64 MaxSignatureBytes = 65536;
const QString FileUnreadable = QStringLiteral("Datei kann nicht gelesen werden: ");

// The file's SHA-256 in lower-case hex; empty when it cannot be read.
QByteArray sha256Of(const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return {};
    return hash.result().toHex();
}

} // namespace

FirmwareInfo::FirmwareInfo(SerialPort &port, UpdateClient &client, FirmwareInfoUi &ui,
                           const LinkHooks &hooks, const SignaturePolicy &signatures)
    : m_port(port), m_client(client), m_ui(ui), m_hooks(hooks), m_signatures(signatures)
{}

QString FirmwareInfo::startProblem(const QUrl &server, const QString &downloadFolder)
{
    if (!server.isValid())
        return QStringLiteral("Ungültige Adresse des Update-Servers");
    if (downloadFolder.isEmpty())
        return QStringLiteral("Kein beschreibbarer Ordner für die Downloads");
    return QString();
}

QString FirmwareInfo::copyTargetProblem(const QString &target)
{
    // Saving over a device or a FIFO would replace it with a file (or block on it).
    if (IsRegularFileOrMissing(target))
        return QString();
    return QStringLiteral("Kopie nach \"%1\" nicht möglich: keine gewöhnliche Datei")
        .arg(QDir::toNativeSeparators(target));
}

FirmwareInfo::Outcome FirmwareInfo::run(int comNumber, int baudRate, const QString &downloadFolder)
{
    m_installedVersion.clear();
    m_availableVersion.clear();
    m_signatureCheck.emplace(m_signatures, [this](const QString &line) { m_hooks.listLine(line); });
    m_installedNumber = 0;
    m_copyAddress.clear();
    m_copyFileName.clear();
    m_checksumField.clear();
    m_expectedSha256.clear();
    m_client.setCancelCheck([this] { return m_hooks.isCancelled(); });

    // Each stage ends the command with an outcome, or hands on to the next one.
    std::optional<Outcome> outcome = queryVersion(comNumber, baudRate);
    if (!outcome)
        outcome = checkOnline(downloadFolder);
    if (!outcome)
        outcome = downloadFirmware(downloadFolder);
    if (!outcome)
        outcome = program(downloadFolder);

    m_client.setCancelCheck({});
    m_port.close();
    return outcome.value_or(Outcome::Failed);
}

std::optional<FirmwareInfo::Outcome> FirmwareInfo::queryVersion(int comNumber, int baudRate)
{
    const InstalledVersion installed = QueryInstalledVersion(m_port, comNumber, baudRate, m_hooks);
    if (installed.outcome != VersionAnswer::Found)
        return Outcome::Failed;
    m_installedVersion = installed.version;
    const std::optional<double> number = FirmwareVersion::installedNumber(m_installedVersion);
    if (!number) {
        m_hooks.listLine(QStringLiteral("Firmwareversion des Geräts ist keine Versionsnummer: ") +
                         printable(m_installedVersion));
        return Outcome::Failed;
    }
    m_installedNumber = *number;
    return std::nullopt;
}

std::optional<FirmwareInfo::Outcome> FirmwareInfo::checkOnline(const QString &folder)
{
    if (const std::optional<Outcome> no =
            ask(FirmwareInfoUi::Question::SearchOnline,
                QStringLiteral("Soll im Internet nach einem Softwareupdate gesucht werden?"),
                QStringLiteral("flasher suchen?")))
        return no;

    const QString versionPath = QDir(folder).filePath(versionFileName());
    if (!fetch(m_client.versionFileUrl(), versionPath, VersionFileFailed,
               UpdateClient::Payload::VersionFile) ||
        !checkSignature(m_client.versionFileUrl(), versionPath, VersionFileFailed, QString()))
        return Outcome::Failed;

    const std::optional<VersionFile> versionFile = VersionFile::load(versionPath);
    QFile::remove(versionPath);
    if (!versionFile) {
        m_hooks.listLine(QStringLiteral("Versionsdatei des Servers ist unvollständig"));
        return Outcome::Failed;
    }
    m_copyAddress = versionFile->copyAddress();
    m_copyFileName = versionFile->copyFileName();
    m_checksumField = versionFile->checksumField();
    m_expectedSha256 = versionFile->sha256();

    const QString &available = versionFile->availableVersion();
    m_availableVersion = available;
    m_hooks.listLine(AvailableLine + printable(available));
    const std::optional<double> availableNumber = FirmwareVersion::availableNumber(available);
    if (!availableNumber) {
        m_hooks.listLine(QStringLiteral("Firmwareversion des Servers ist keine Versionsnummer: ") +
                         printable(available));
        return Outcome::Failed;
    }
    if (!(*availableNumber > m_installedNumber)) {
        m_hooks.listLine(QStringLiteral("Es ist die aktuelle Firmware installiert!"));
        return Outcome::UpToDate;
    }
    return std::nullopt;
}

std::optional<FirmwareInfo::Outcome> FirmwareInfo::downloadFirmware(const QString &folder)
{
    if (const std::optional<Outcome> no =
            ask(FirmwareInfoUi::Question::Download,
                QStringLiteral("Soll die aktuelle Firmware runtergeladen werden?"),
                QStringLiteral("flasher runterladen?"), Outcome::NewerAvailable))
        return no;

    if (m_ui.savesUserCopy()) {
        // The server proposes a name, not a place.
        const QString target = m_ui.chooseCopyTarget(flasher::SafeFileName(m_copyFileName));
        if (target.isEmpty())
            return Outcome::Declined;
        if (const QString problem = copyTargetProblem(target); !problem.isEmpty()) {
            m_hooks.listLine(problem);
            return Outcome::Failed;
        }
        m_hooks.listLine(QStringLiteral("DOWNLOAD STARTEN... BITTE WARTEN..."));
        const QUrl copyUrl = m_client.resolve(m_copyAddress);
        if (!fetch(copyUrl, target, DownloadFailed) ||
            !checkSignature(copyUrl, target, DownloadFailed, m_availableVersion))
            return Outcome::Failed;
        // With a checksum the copy is the image itself, and a copy cut short is no copy.
        if (!m_expectedSha256.isEmpty() && !matchesChecksum(sha256Of(target))) {
            QFile::remove(target);
            return Outcome::Failed;
        }
        m_hooks.listLine(QStringLiteral("Download erfolgreich!"));
    }

    const QString helperPath = QDir(folder).filePath(helperFileName());
    if (!fetch(m_client.firmwareUrl(), helperPath, DownloadFailed) ||
        !checkHelperFile(helperPath) ||
        !checkSignature(m_client.firmwareUrl(), helperPath, DownloadFailed, m_availableVersion)) {
        // A failed download leaves no helper file to program by hand, not even an earlier one.
        QFile::remove(helperPath);
        return Outcome::Failed;
    }
    return std::nullopt;
}

bool FirmwareInfo::checkHelperFile(const QString &helperPath)
{
    const QByteArray actual = sha256Of(helperPath);
    if (actual.isEmpty()) {
        m_hooks.listLine(QStringLiteral("Hilfsdatei kann nicht gelesen werden"));
        return false;
    }
    if (!m_expectedSha256.isEmpty())
        return matchesChecksum(actual);
    if (!m_checksumField.isEmpty())
        m_hooks.listLine(QStringLiteral("Prüfsumme in der Versionsdatei ist keine SHA-256 "
                                        "(64 Hexziffern) und wird nicht geprüft"));
    m_ui.downloadedUnchecked(QString::fromLatin1(actual));
    return true;
}

bool FirmwareInfo::matchesChecksum(const QByteArray &sha256)
{
    if (sha256 == m_expectedSha256)
        return true;
    m_hooks.listLine(DownloadFailed);
    m_hooks.listLine(QStringLiteral("Grund: Prüfsumme stimmt nicht"));
    return false;
}

std::optional<FirmwareInfo::Outcome> FirmwareInfo::program(const QString &folder)
{
    if (const std::optional<Outcome> no =
            ask(FirmwareInfoUi::Question::Program,
                QStringLiteral("Soll die aktuelle Firmware in das Endgerät programmiert werden?"),
                QStringLiteral("flasher einspielen?")))
        return no;

    m_hooks.listLine(QStringLiteral("Hilfsdatei downloaden..."));
    const QString helperPath = QDir(folder).filePath(helperFileName());
    const LoadedImage loaded = LoadImageFile(helperPath);
    if (!loaded.sendable()) {
        m_hooks.listLine(QStringLiteral("Hilfsdatei kann nicht gelesen werden"));
        return Outcome::Failed;
    }
    m_ui.programmingStarts();

    // The port is still open from the version query.
    if (UploadImage(m_port, loaded.image, TransferVariant::firmware(), m_hooks) !=
        TransferResult::Sent)
        return Outcome::Failed;
    m_hooks.Add_Item(QStringLiteral("Bitte erstellen Sie abschließend eine Konfigurationsdatei"));
    m_hooks.Add_Item(QStringLiteral("und spielen Sie diese auf das Gerät!"));
    QFile::remove(helperPath);
    return Outcome::Programmed;
}

std::optional<FirmwareInfo::Outcome> FirmwareInfo::ask(FirmwareInfoUi::Question question,
                                                       const QString &prompt, const QString &title,
                                                       Outcome no)
{
    // The window may have been closed meanwhile.
    if (m_hooks.isCancelled()) {
        m_hooks.Add_Item(LinkTexts::cancelled());
        return Outcome::Failed;
    }
    if (!m_ui.askYesNo(question, prompt, title))
        return no;
    return std::nullopt;
}

bool FirmwareInfo::fetch(const QUrl &source, const QString &target, const QString &failedLine,
                         UpdateClient::Payload payload)
{
    m_ui.setWaitCursor(true);
    const DownloadOutcome status = m_client.download(source, target, payload);
    m_ui.setWaitCursor(false);
    return downloaded(status, failedLine);
}

bool FirmwareInfo::downloaded(DownloadOutcome status, const QString &failedLine)
{
    if (status == DownloadOutcome::Cancelled) {
        m_hooks.Add_Item(LinkTexts::cancelled());
        return false;
    }
    if (status != DownloadOutcome::Ok) {
        m_hooks.listLine(failedLine);
        if (!m_client.lastError().isEmpty())
            m_hooks.listLine(QStringLiteral("Grund: ") + printable(m_client.lastError()));
        return false;
    }
    return true;
}

bool FirmwareInfo::checkSignature(const QUrl &source, const QString &localPath,
                                  const QString &failedLine, const QString &version)
{
    bool accepted = false;
    std::optional<QByteArray> signature;
    if (fetchSignature(source, failedLine, signature)) {
        QFile file(localPath);
        if (file.open(QIODevice::ReadOnly))
            accepted = m_signatureCheck->accept(signature, file.readAll(), version);
        else
            m_hooks.listLine(FileUnreadable + localPath);
    }
    if (!accepted)
        QFile::remove(localPath);
    return accepted;
}

bool FirmwareInfo::fetchSignature(const QUrl &source, const QString &failedLine,
                                  std::optional<QByteArray> &signature)
{
    QUrl url = source;
    url.setPath(source.path(QUrl::FullyEncoded) + QStringLiteral(".minisig"), QUrl::TolerantMode);
    // A scratch folder of its own, so that no run leaves a signature behind.
    QTemporaryDir scratch;
    const QString path = scratch.filePath(QStringLiteral("signature.minisig"));
    m_ui.setWaitCursor(true);
    const DownloadOutcome status = m_client.download(url, path, UpdateClient::Payload::VersionFile);
    m_ui.setWaitCursor(false);
    // A server without a signature for the file answers 404: unsigned, not a failure.
    if (status == DownloadOutcome::HttpError && m_client.lastHttpStatus() == 404)
        return true;
    if (!downloaded(status, failedLine))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_hooks.listLine(FileUnreadable + path);
        return false;
    }
    signature = file.read(MaxSignatureBytes);
    return true;
}

} // namespace flasher
