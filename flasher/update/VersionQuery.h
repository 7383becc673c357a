#pragma once

#include "devicelink/LinkFailure.h"
#include "devicelink/LinkHooks.h"
#include "devicelink/SerialPort.h"

#include <QByteArray>
#include <QString>

namespace flasher {

// What the gauge answered when the link held.
enum class VersionAnswer
{
    Found,
    NoAnswer, // no "e" within the budget: "Gerät nicht gefunden oder Firmware ..."
    NoVersion // an answer without any "d"
};

struct InstalledVersion
{
    devicelink::LinkOutcome<VersionAnswer> outcome = VersionAnswer::NoAnswer;
    QString version; // the last version line's five characters when Found
};

// The version query of the firmware information command: opens the port (no port: comNumber
// < 1), sends "d" once, reads up to 100,000 polls until a read brings an "e", and logs one
// version line for every "d" of the answer, the five characters after it; the last one counts.
// On every failure it logs its line and closes the port; when Found the port stays open for
// what follows.
InstalledVersion QueryInstalledVersion(devicelink::SerialPort &port, int comNumber, int baudRate,
                                       const devicelink::LinkHooks &hooks);

} // namespace flasher
