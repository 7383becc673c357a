#pragma once

namespace devicelink {

// How an upload into the gauge's bootloader ended. The transfer itself ends in Ok, NoReset,
// NoHandshake, Abandoned, PortLost, Cancelled or FileTooLarge; the commands around it add the
// endings before it starts.
enum class TransferOutcome
{
    Ok,             // EOT sent
    NoReset,        // no entry answer in 600 passes: "Reset nicht erkannt!"
    NoHandshake,    // no NAK after the entry answer: the log ends at "Controllerreset empfangen"
    Abandoned,      // eleven NAKs, or a block left unanswered: CAN and "Retry error!"
    PortLost,       // the port failed during the transfer
    Cancelled,      // the window closed
    FileTooLarge,   // more blocks than the 16-bit block number counts
    NoPort,         // no usable COM number: nothing opened
    PortOpenFailed, // the port could not be opened
    FileMissing,    // the file to send does not exist
    FileEmpty,      // the file to send has no byte: nothing to program
    FileUnreadable  // the file exists but cannot be read
};

// True when the bootloader transfer itself ran (whatever its ending), so the command's end
// states apply.
inline bool TransferRan(TransferOutcome outcome)
{
    switch (outcome) {
    case TransferOutcome::NoPort:
    case TransferOutcome::PortOpenFailed:
    case TransferOutcome::FileMissing:
    case TransferOutcome::FileEmpty:
    case TransferOutcome::FileUnreadable:
        return false;
    default:
        return true;
    }
}

} // namespace devicelink
