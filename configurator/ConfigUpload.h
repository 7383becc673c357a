#pragma once

#include "devicelink/BootloaderTransfer.h"
#include "devicelink/LinkHooks.h"
#include "devicelink/SerialPort.h"

#include <QString>

namespace configurator {

// The configurator's upload of its settings, shared by the upload window and the batch mode.
namespace ConfigUpload {

// The file that "Konfiguration hochladen" writes and the upload sends, in the current folder.
inline QString imageFileName()
{
    return QStringLiteral("configs.eep");
}

// The port number given as decimal text; 0 when the text is not a whole number or not a COM
// number the programs can use (1..99).
int portNumberFromText(const QString &text);

// Loads the image file, opens the port at 19200 bit/s and runs the EEPROM variant of the
// bootloader transfer. Every step is logged through the hooks. The port is closed on return.
// NoPort (a `comNumber` outside 1..99) and FileUnreadable come before the port is touched.
devicelink::TransferOutcome run(devicelink::SerialPort &port, int comNumber,
                                const QString &imagePath, const devicelink::LinkHooks &hooks);

} // namespace ConfigUpload

} // namespace configurator
