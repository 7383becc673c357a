#pragma once

#include "devicelink/LinkHooks.h"
#include "devicelink/SerialPort.h"
#include "flasher/update/ConsoleFirmwareInfoUi.h"
#include "flasher/update/FirmwareInfo.h"
#include "flasher/update/SignatureCheck.h"
#include "flasher/update/UpdateClient.h"

namespace flasher {

// The flasher's batch command --update: the firmware information command without a window.
struct UpdateBatchOptions
{
    int comNumber = -1; // -1: no port given
    int baudRate = 19200;
    QString updateUrl;      // the update server, as the run context resolved it
    bool yes = false;       // --yes: download and program without asking
    QString copyPath;       // --copy: where the user's copy goes; empty: no copy
    QString downloadFolder; // UpdateFolder::pick(); empty: no folder can be used
    DownloadLimits limits;  // --download-timeout sets both total limits
    SignaturePolicy signatures;
};

namespace UpdateBatch {

// The longest total time a download may be given.
constexpr int MaxTimeoutSeconds = 3600;

// Runs the command on `port`: log lines through `hooks`, the questions and their automatic
// answers through `print`. A server address that is not usable, or no folder for the downloads, is
// Failed before anything starts. The port is closed afterwards.
FirmwareInfo::Outcome run(const UpdateBatchOptions &options, devicelink::SerialPort &port,
                          const devicelink::LinkHooks &hooks,
                          const ConsoleFirmwareInfoUi::Print &print);

} // namespace UpdateBatch

} // namespace flasher
