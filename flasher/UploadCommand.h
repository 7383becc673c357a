#pragma once

#include "devicelink/BootloaderTransfer.h"
#include "devicelink/LinkHooks.h"
#include "devicelink/SerialPort.h"

#include <QString>
#include <functional>

namespace flasher {

// The two upload commands of the update window (and of the batch mode): firmware and EEPROM.
enum class UploadKind
{
    Firmware,
    Eeprom
};

struct UploadRequest
{
    UploadKind kind = UploadKind::Firmware;
    QString portEntry; // the chosen port entry, e.g. "COM 3 verfügbar"
    int baudRate = 19200;
    QString path; // the file to send
};

enum class UploadOutcome
{
    NoPort,         // no entry chosen, or no port number in it: nothing was opened
    OpenFailed,     // the port could not be opened (logged, closed)
    FileMissing,    // the file is gone: logged, port closed again, no transfer
    FileUnreadable, // the file exists but cannot be read: logged, port closed, no transfer
    Failed,         // the transfer ran and failed (reset, handshake, retries, cancel)
    Succeeded       // the transfer ended with EOT
};

// True when the command got as far as the transfer, so the command's end states apply.
inline bool TransferRan(UploadOutcome outcome)
{
    return outcome == UploadOutcome::Failed || outcome == UploadOutcome::Succeeded;
}

devicelink::TransferVariant VariantFor(UploadKind kind);

// The percentage as Label4 shows it: "38 %".
QString PercentText(int percent);

// The upload command's steps, shared by the window and the batch mode: the port number from the
// entry, opening the port, the file test, loading the file and the transfer. `transferStarting`
// runs once the file has been loaded, right before the bootloader transfer starts. The port is
// closed when it returns.
UploadOutcome RunUploadCommand(devicelink::SerialPort &port, const UploadRequest &request,
                               const devicelink::LinkHooks &hooks,
                               const std::function<void()> &transferStarting = {});

} // namespace flasher
