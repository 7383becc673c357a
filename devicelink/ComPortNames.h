#pragma once

#include <QString>

namespace devicelink {

// Maps the gauge programs' COM numbers (1..99) to devices of this system.
namespace ComPortNames {

constexpr int FirstCom = 1;
constexpr int LastCom = 99;

// Windows: COMn. Linux: with a port folder, the entry COMn in it (usually a symlink to a
// device or a simulator's pty) and nothing else; without it the usual tables
// COM1-32 -> /dev/ttyS0-31, COM33-64 -> /dev/ttyUSB0-31, COM65-96 -> /dev/ttyACM0-31.
// Returns an empty string for numbers that name no device.
QString deviceFor(int comNumber, const QString &portDir);

} // namespace ComPortNames

} // namespace devicelink
