#pragma once

// The gauge's serial protocols as plain constants, for the PC side and the simulated gauge.
namespace protocol {

constexpr char Soh = 0x01;           // starts a block frame
constexpr char Eot = 0x04;           // end of the image
constexpr char Ack = 0x06;           // block accepted
constexpr char Nak = 0x15;           // ready for the first block, or block rejected
constexpr char Can = 0x18;           // transfer abandoned
constexpr char EntryFirmware = 0x7B; // entry character of the firmware transfer
constexpr char EntryEeprom = 0x7C;   // entry character of the EEPROM-image transfers
constexpr char Identify = 'd';       // the identification request, and the answer's start
constexpr char AnswerEnd = 'e';      // ends the identification answer

// A block frame: SOH, block number, its complement, the data and one checksum byte.
constexpr int BlockSize = 128;
constexpr int FrameSize = 3 + BlockSize + 1;

} // namespace protocol
