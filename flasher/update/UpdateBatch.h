#pragma once

#include "devicelink/LinkHooks.h"
#include "devicelink/SerialPort.h"
#include "flasher/update/FirmwareInfo.h"
#include "flasher/update/UpdateClient.h"

#include <QCommandLineParser>
#include <QTextStream>
#include <optional>

namespace flasher {

// The flasher's batch command --update: the firmware information command without a window.
struct UpdateBatchOptions
{
    int comNumber = -1; // -1: no port given
    int baudRate = 19200;
    QString updateUrl;      // --update-url; empty: environment, saved setting, default
    bool yes = false;       // --yes: download and program without asking
    QString copyPath;       // --copy: where the user's copy goes; empty: no copy
    QString downloadFolder; // empty: the program's folder or the user's data folder
    DownloadLimits limits;  // --download-timeout sets both total limits
};

namespace UpdateBatch {

// The exit status of a run without --yes that found a newer firmware.
constexpr int NewerAvailable = 3;

// Adds --update, --yes, --copy PATH, --download-timeout SEKUNDEN and --update-url URL to the
// flasher's parser.
void addOptions(QCommandLineParser &parser);
// Reads those options (after parser.parse()); the port and speed are the caller's. Empty, with
// `error` set, when --download-timeout is not a number of seconds from 1 to 3600.
std::optional<UpdateBatchOptions> readOptions(const QCommandLineParser &parser, QString *error);

// Runs the command on `port`: log lines through `hooks`, the questions and their automatic
// answers to `out`. A server address that is not usable, or no folder for the downloads, is
// Failed before anything starts. The port is closed afterwards.
FirmwareInfo::Outcome run(const UpdateBatchOptions &options, devicelink::SerialPort &port,
                          const devicelink::LinkHooks &hooks, QTextStream &out);

} // namespace UpdateBatch

} // namespace flasher
