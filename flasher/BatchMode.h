#pragma once

#include "devicelink/SerialPort.h"
#include "shell/CommandLine.h"
#include "shell/RunContext.h"

#include <QTextStream>

namespace flasher {

// The flasher without its window: one command from the command line, every log line to the
// output as it happens, and an exit status for scripts.
namespace BatchMode {

// The flasher's options: they decide between window and batch mode and make up --help.
const shell::Program &program();

// Runs the command the command line names on `port` (the device link's settings and the update
// server come from `context`). Log lines go to `out`, in batches when
// `batched` is set (a pipe or a file); usage errors, explanations, a failure once more, and
// the percentage as one updating line when `percentLine` is set (a terminal), go to `err`.
int Run(const shell::CommandLine &commandLine, const shell::RunContext &context,
        devicelink::SerialPort &port, QTextStream &out, QTextStream &err, bool percentLine,
        bool batched = false);

} // namespace BatchMode

} // namespace flasher
