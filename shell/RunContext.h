#pragma once

#include "devicelink/LinkSettings.h"

#include <QString>
#include <optional>

namespace shell {

// What a run takes from its surroundings, read once in main() and passed down: the port folder
// and poll time for the device link, the working folder for the files the programs keep
// beside the user's work (configs.eep, port.dll), and the flasher's update server.
struct RunContext
{
    devicelink::LinkSettings link;
    QString workingFolder;
    QString updateUrl; // as given, checked where it is used
};

// Where the update server's address may come from, in this order; the first that is not blank
// counts. No settings key: the program has no update server.
struct UpdateUrlSources
{
    QString commandLineValue;
    QString environmentVariable;
    QString settingsKey; // in the application's own settings
    QString builtIn;
};

// Reads IVEVA_PORT_DIR, IVEVA_POLL_US, the current folder and the update server's address.
// Call it after applyIdentity(): the saved address lives in the application's settings. Nothing,
// with a German message in `error`, when the poll time is not a whole number of microseconds
// from 1 to 1000.
std::optional<RunContext> readRunContext(QString *error, const UpdateUrlSources &updateUrl = {});

} // namespace shell
