#pragma once

#include <QStringList>

class QTextStream;

namespace configurator {

// The configurator without a window: the options run in the order given on a settings set that
// starts from the defaults.
namespace BatchMode {

enum ExitCode
{
    Success = 0,
    Failure = 1,
    UsageError = 2,
};

// Whether the command line asks for the batch mode (any of its options, or --help).
bool requested(const QStringList &arguments);

// Runs the command line (arguments[0] is the program). Results and log lines go to `out`,
// problems to `err`.
int run(const QStringList &arguments, QTextStream &out, QTextStream &err);

} // namespace BatchMode

} // namespace configurator
