#pragma once

#include "devicelink/LinkSettings.h"

#include <QString>
#include <optional>

namespace shell {

// What a run takes from its surroundings, read once in main() and passed down: the port folder
// and poll time for the device link, and the working folder for the files the programs keep
// beside the user's work (configs.eep, port.dll).
struct RunContext
{
    devicelink::LinkSettings link;
    QString workingFolder;
};

// Reads IVEVA_PORT_DIR, IVEVA_POLL_US and the current folder. Nothing, with a German message in
// `error`, when the poll time is not a whole number of microseconds from 1 to 1000.
std::optional<RunContext> readRunContext(QString *error);

} // namespace shell
