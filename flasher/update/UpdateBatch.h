#pragma once

#include "devicelink/LinkHooks.h"
#include "devicelink/SerialPort.h"
#include "flasher/update/ConsoleFirmwareInfoUi.h"
#include "flasher/update/FirmwareInfo.h"
#include "flasher/update/SignatureCheck.h"
#include "flasher/update/UpdateClient.h"
#include "shell/CommandLine.h"

#include <optional>

namespace flasher {

// The flasher's batch command --update: the firmware information command without a window.
struct UpdateBatchOptions
{
    int comNumber = -1; // -1: no port given
    int baudRate = 19200;
    QString updateUrl;      // the update server, as the run context resolved it
    bool yes = false;       // --yes: download and program without asking
    QString copyPath;       // --copy: where the user's copy goes; empty: no copy
    QString downloadFolder; // empty: the program's folder or the user's data folder
    DownloadLimits limits;  // --download-timeout sets both total limits
    SignaturePolicy signatures;
};

namespace UpdateBatch {

// The options that belong to --update.
inline const QString YesOption = QStringLiteral("yes");
inline const QString CopyOption = QStringLiteral("copy");
inline const QString TimeoutOption = QStringLiteral("download-timeout");
constexpr int MaxTimeoutSeconds = 3600;
// The signature options; the window takes them too.
inline const QString TrustedKeyOption = QStringLiteral("trusted-key");
inline const QString RequireSignatureOption = QStringLiteral("require-signature");
inline const QString SaveTrustedKeyOption = QStringLiteral("save-trusted-key");

// Reads those options; the port, speed and server are the caller's. Empty, with `error` set,
// when --download-timeout is not a number of seconds from 1 to 3600 or a key file is bad.
std::optional<UpdateBatchOptions> readOptions(const shell::CommandLine &commandLine,
                                              QString *error);

// The built-in and saved keys, each --trusted-key file, and --require-signature. Empty, with
// `error` naming the file, when a key file is missing or no minisign public key.
std::optional<SignaturePolicy> readSignaturePolicy(const shell::CommandLine &commandLine,
                                                   QString *error);

// Runs the command on `port`: log lines through `hooks`, the questions and their automatic
// answers through `print`. A server address that is not usable, or no folder for the downloads, is
// Failed before anything starts. The port is closed afterwards.
FirmwareInfo::Outcome run(const UpdateBatchOptions &options, devicelink::SerialPort &port,
                          const devicelink::LinkHooks &hooks,
                          const ConsoleFirmwareInfoUi::Print &print);

} // namespace UpdateBatch

} // namespace flasher
