#pragma once

#include "devicelink/SerialPort.h"

#include <QStringList>
#include <QTextStream>

namespace flasher {

// The flasher without its window: one command from the command line, every log line to the
// output as it happens, and an exit status for scripts.
namespace BatchMode {

enum ExitStatus
{
    Success = 0,
    Failure = 1,
    UsageError = 2
};

// True when the arguments (program name first) ask for a batch command rather than the window.
bool IsBatchCall(const QStringList &arguments);

// Runs the command the arguments name. Log lines go to `out`; usage errors, and the percentage
// as one updating line when `percentLine` is set (a terminal), go to `err`.
int Run(const QStringList &arguments, devicelink::SerialPort &port, QTextStream &out,
        QTextStream &err, bool percentLine);

} // namespace BatchMode

} // namespace flasher
