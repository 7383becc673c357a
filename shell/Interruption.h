#pragma once

#include "shell/CommandLine.h"

#include <optional>

class QTextStream;

namespace shell {

// SIGINT, SIGTERM and SIGHUP during a batch run: the handler only records the signal, and the
// running operation sees it through its cancel check, so a transfer leaves the gauge's
// bootloader with CAN and the port closed instead of dying between two blocks. A second signal
// takes its default action, for a run that does not stop.
namespace Interruption {

// Installs the handlers for a batch run.
void catchStopSignals();
// SIGPIPE and SIGXFSZ are ignored in every mode: a write that fails (a closed pipe, a file past
// the size limit) is an error the code sees and reports, never a death in the middle of a
// transfer.
void ignoreWriteSignals();

// The signal that interrupted the run, 0 when none did. Safe from any thread.
int signalNumber();

// 128 + the signal number, after "<program>: unterbrochen (SIGINT)" on `err`, once the run was
// interrupted; nothing when it was not.
std::optional<int> exitStatus(QTextStream &err, const QString &programName);

// 129, 130 and 143 for the help.
QList<ExitStatusText> exitStatuses();

} // namespace Interruption

} // namespace shell
