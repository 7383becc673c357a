#pragma once

#include "devicelink/LinkHooks.h"
#include "devicelink/SerialPort.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace flasher {

// The version query of the firmware information command: opens the port (no port: comNumber
// < 1), sends "d" once, reads up to 100,000 polls until a read brings an "e", and logs one
// version line for every "d" of the answer, the five characters after it. Returns the last of
// them. On every failure it logs its line, closes the port and returns nothing; on success the
// port stays open for what follows. `Text1` is the caller's receive text and keeps the answer.
std::optional<QString> QueryInstalledVersion(devicelink::SerialPort &port, int comNumber,
                                             int baudRate, QByteArray &Text1,
                                             const devicelink::LinkHooks &hooks);

} // namespace flasher
