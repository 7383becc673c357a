#pragma once

#include "devicelink/BootloaderTransfer.h"
#include "devicelink/LinkHooks.h"
#include "devicelink/SerialPort.h"

#include <QString>
#include <functional>
#include <optional>

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
    int comNumber = 0; // the chosen port; below 1: none
    int baudRate = 19200;
    QString path; // the file to send
};

// What the update window offers in a phase of an upload command; an empty field leaves it as
// it is.
struct UploadCommandState
{
    std::optional<bool> firmwareUpload; // the firmware upload can be started
    std::optional<bool> eepromUpload;   // the EEPROM upload can be started
    std::optional<bool> fileChoice;     // another file can be chosen
    std::optional<bool> resetHint;      // the hint to reset the controller is shown
    bool fileMissing = false;           // the chosen file becomes "Datei existiert nicht"

    bool operator==(const UploadCommandState &) const = default;
};

// Once the file is loaded and the transfer starts.
UploadCommandState StateWhileTransferring(UploadKind kind);
// When the command has ended with `outcome`. An empty file disables the buttons as a missing one
// does; the other endings before the transfer leave every control as it was before the click.
UploadCommandState StateAfterUpload(UploadKind kind, devicelink::TransferOutcome outcome);

devicelink::TransferVariant VariantFor(UploadKind kind);

// The percentage beside the progress bar: "38 %".
QString PercentText(int percent);

// The upload command's steps, shared by the window and the batch mode: the port check, opening
// the port, the file test, loading the file and the transfer. `transferStarting`
// runs once the file has been loaded, right before the bootloader transfer starts. The port is
// closed when it returns. Ends in NoPort, OpenFailed, a file refused for its reason or the
// transfer's own outcome.
devicelink::TransferOutcome RunUploadCommand(devicelink::SerialPort &port,
                                             const UploadRequest &request,
                                             const devicelink::LinkHooks &hooks,
                                             const std::function<void()> &transferStarting = {});

} // namespace flasher
