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
    QString portEntry; // the chosen port entry, e.g. "COM 3 verfügbar"
    int baudRate = 19200;
    QString path; // the file to send
};

// What the update window sets on its controls in a phase of an upload command; an empty field
// leaves the control as it is.
struct UploadButtons
{
    std::optional<bool> firmware;   // cmd_Upload enabled
    std::optional<bool> eeprom;     // Command2 enabled
    std::optional<bool> fileChoice; // cmd_Search_File enabled
    std::optional<bool> infoShown;  // lbl_info visible
    bool fileMissing = false;       // txt_File shows "Datei existiert nicht" in red

    bool operator==(const UploadButtons &) const = default;
};

// Once the file is loaded and the transfer starts.
UploadButtons ButtonsWhileTransferring(UploadKind kind);
// When the command has ended with `outcome`. An empty file disables the buttons as a missing one
// does; the other endings before the transfer leave every control as it was before the click.
UploadButtons ButtonsAfterUpload(UploadKind kind, devicelink::TransferOutcome outcome);

devicelink::TransferVariant VariantFor(UploadKind kind);

// The percentage as Label4 shows it: "38 %".
QString PercentText(int percent);

// The upload command's steps, shared by the window and the batch mode: the port number from the
// entry, opening the port, the file test, loading the file and the transfer. `transferStarting`
// runs once the file has been loaded, right before the bootloader transfer starts. The port is
// closed when it returns. Ends in NoPort, PortOpenFailed, FileMissing, FileEmpty, FileUnreadable
// or the transfer's own outcome.
devicelink::TransferOutcome RunUploadCommand(devicelink::SerialPort &port,
                                             const UploadRequest &request,
                                             const devicelink::LinkHooks &hooks,
                                             const std::function<void()> &transferStarting = {});

} // namespace flasher
