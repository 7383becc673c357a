#pragma once

#include "devicelink/LinkHooks.h"
#include "devicelink/SerialPort.h"
#include "flasher/update/FirmwareInfoUi.h"
#include "flasher/update/SignatureCheck.h"
#include "flasher/update/UpdateClient.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace flasher {

// The "Firmware-Info" command without its window: reads the gauge's firmware version, looks for
// a newer one on the update server, downloads it and programs it, asking at each stage.
//
// A window keeps the command from starting twice while run() works, and afterwards offers the
// firmware upload and the file choice again, not the EEPROM upload, and hides the reset hint:
// the command's common ending. run() opens the port itself and always leaves it closed. A window
// runs it on a job's thread, where the client and the port live too. Log lines go through the
// hooks: Scrolled lines as Add_Item, Listed lines appended only; hooks.percent and
// hooks.entryAnswer serve the transfer as in the firmware upload; hooks.cancelled (the window
// closing) stops the command at its next poll or download check. Each downloaded file is judged
// by the signature served beside it ("<address>.minisig") under `signatures`.
class FirmwareInfo
{
public:
    enum class Outcome
    {
        UpToDate,       // the server has no higher version
        Programmed,     // the new firmware is in the gauge
        NewerAvailable, // the server has a higher version, and the user said No to its download
        Declined,       // the user said No to the search or to programming, or cancelled the
                        // save dialog
        Failed          // no gauge, a failed download, bad data, a failed transfer, a cancel
    };

    // The COM number to pass when the window has no usable port entry.
    static constexpr int NoPort = -1;

    static QString versionFileName() { return QStringLiteral("firmware.txt"); }
    static QString helperFileName() { return QStringLiteral("jdwiii.hzg"); }

    FirmwareInfo(devicelink::SerialPort &port, UpdateClient &client, FirmwareInfoUi &ui,
                 const devicelink::LinkHooks &hooks, const SignaturePolicy &signatures = {});

    // Why the command cannot start with this server and download folder (an empty folder is
    // what UpdateFolder::pick() gives when none is writable); empty when it can.
    static QString startProblem(const QUrl &server, const QString &downloadFolder);
    // Why the user's copy cannot go to `target` (a device, a FIFO, a folder); empty when it can.
    static QString copyTargetProblem(const QString &target);

    // Runs the command on COM `comNumber` (or NoPort) at `baudRate`. `downloadFolder` takes
    // "firmware.txt" and "jdwiii.hzg" (see UpdateFolder::pick()).
    Outcome run(int comNumber, int baudRate, const QString &downloadFolder);

private:
    // Each stage returns the command's outcome when the command ends in it, nothing when the
    // next stage follows.
    std::optional<Outcome> queryVersion(int comNumber, int baudRate);
    std::optional<Outcome> checkOnline(const QString &folder);
    std::optional<Outcome> downloadFirmware(const QString &folder);
    std::optional<Outcome> program(const QString &folder);

    // Nothing for Yes; `no` for No; Failed when the window is closing.
    std::optional<Outcome> ask(FirmwareInfoUi::Question question, const QString &prompt,
                               const QString &title, Outcome no = Outcome::Declined);
    // Downloads and logs a failure (`failedLine` and the reason, or the cancel); true when the
    // file arrived.
    bool fetch(const QUrl &source, const QString &target, const QString &failedLine,
               UpdateClient::Payload payload = UpdateClient::Payload::Image);
    // Logs a failed download as fetch() does; true for Ok.
    bool downloaded(DownloadOutcome status, const QString &failedLine);
    // Fetches the signature served for `source` and judges the downloaded `localPath` by it,
    // asking the trusted comment for `version` unless that is empty. A file that fails, or whose
    // signature cannot be fetched, is removed; false stops the command.
    bool checkSignature(const QUrl &source, const QString &localPath, const QString &failedLine,
                        const QString &version);
    // Fetches "<source>.minisig"; `signature` stays empty when the server has none. False, and
    // logged, when the fetch failed.
    bool fetchSignature(const QUrl &source, const QString &failedLine,
                        std::optional<QByteArray> &signature);
    // Compares the helper file with the version file's SHA-256, if it gave one.
    bool checkHelperFile(const QString &helperPath);
    // True when `sha256` is the version file's checksum; else logs the failed download.
    bool matchesChecksum(const QByteArray &sha256);

    devicelink::SerialPort &m_port;
    UpdateClient &m_client;
    FirmwareInfoUi &m_ui;
    const devicelink::LinkHooks &m_hooks;
    SignaturePolicy m_signatures;

    // One run's working values.
    QString m_installedVersion;
    QString m_availableVersion;
    std::optional<SignatureCheck> m_signatureCheck;
    double m_installedNumber = 0;
    QString m_copyAddress;
    QString m_copyFileName;
    QString m_checksumField;
    QByteArray m_expectedSha256;
};

} // namespace flasher
