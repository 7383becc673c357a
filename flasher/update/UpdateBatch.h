#pragma once

#include "FirmwareInfo.h"
#include "LinkHooks.h"
#include "SerialPort.h"

#include <QCommandLineParser>
#include <QTextStream>

// The flasher's batch command --update: the firmware information command without a window.
struct UpdateBatchOptions
{
    int comNumber = -1; // -1: no port given
    int baudRate = 19200;
    QString updateUrl;      // --update-url; empty: environment, saved setting, default
    bool yes = false;       // --yes: download and program without asking
    QString copyPath;       // --copy: where the user's copy goes; empty: no copy
    QString downloadFolder; // empty: the program's folder or the user's data folder
};

namespace UpdateBatch {

// Adds --update, --yes, --copy PATH and --update-url URL to the flasher's parser.
void addOptions(QCommandLineParser &parser);
// Reads those options (after parser.process()); the port and speed are the caller's.
UpdateBatchOptions readOptions(const QCommandLineParser &parser);

// Runs the command on `port`: log lines through `hooks`, the questions and their automatic
// answers to `out`. A server address that is not usable, or no folder for the downloads, is
// Failed before anything starts. The port is closed afterwards.
FirmwareInfo::Outcome run(const UpdateBatchOptions &options, SerialPort &port,
                          const LinkHooks &hooks, QTextStream &out);

} // namespace UpdateBatch
