#pragma once

#include "devicelink/FlashImage.h"
#include "devicelink/LinkFailure.h"
#include "devicelink/LinkHooks.h"
#include "devicelink/SerialPort.h"
#include "protocol/ProtocolBytes.h"

namespace devicelink {

// How an upload ended when the link did not fail: EOT sent, or the file was not sent.
enum class TransferResult
{
    Sent,
    FileMissing,    // the file to send does not exist
    FileEmpty,      // the file to send has no byte: nothing to program
    FileUnreadable, // the file exists but cannot be read
    FileTooLarge    // more blocks than the 16-bit block number counts
};
// The transfer itself ends in Sent, FileTooLarge, NoReset, NoHandshake, Abandoned, PortLost or
// Cancelled; the commands around it add the endings before it starts.
using TransferOutcome = LinkOutcome<TransferResult>;

// True when the bootloader transfer itself ran (whatever its ending), so the command's end
// states apply.
bool TransferRan(const TransferOutcome &outcome);

// What an upload command ends in for a file that cannot be sent, after logging why.
TransferResult RefusedFile(ImageProblem problem);

// What differs between the three uploads: the entry character the bootloader echoes and how
// many polls the PC waits for the answer to a block.
struct TransferVariant
{
    char entryCharacter;
    qint64 answerLimit;

    // The flasher's firmware upload (also the online update): percentage and entry notice.
    static TransferVariant firmware() { return {protocol::EntryFirmware, 100'000}; }
    // The EEPROM uploads: the flasher's, and the configurator's of its settings.
    static TransferVariant eeprom() { return {protocol::EntryEeprom, 1'000'000}; }
};

// The baud rate of the configurator's upload and search.
constexpr int ConfigurationBaudRate = 19200;

// Logs "öffne COM-Port" and opens the port for a transfer. A port that cannot be opened is
// logged ("Fehler beim öffnen des Comports", the device and the reason, and the hint to join the
// device's group where access is denied) and closed.
bool OpenPortForTransfer(SerialPort &port, int comNumber, int baudRate, const LinkHooks &hooks);

// Logs why the port could not be opened and closes it.
void ReportOpenFailure(SerialPort &port, const LinkHooks &hooks);

// The bootloader transfer on a port opened for it: reset wait, handshake, the blocks, and EOT.
// Sent when it ended by sending EOT. Every log line goes through Add_Item. The port is closed
// before it returns, whatever the ending.
TransferOutcome UploadImage(SerialPort &port, const FlashImage &image,
                            const TransferVariant &variant, const LinkHooks &hooks);

} // namespace devicelink
