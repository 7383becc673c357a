#pragma once

#include "shell/CommandLine.h"
#include "shell/RunContext.h"

class QTextStream;

namespace configurator {

// The configurator without a window: the options run in the order given on a settings set that
// starts from the defaults.
namespace BatchMode {

// The configurator's options: they decide between window and batch mode and make up --help.
const shell::Program &program();

// Runs the command line. Results and log lines go to `out` (in batches when `batched`: a pipe
// or a file), problems and explanations to `err`; files without a folder (configs.eep,
// port.dll, relative paths) lie in the context's working folder.
int run(const shell::CommandLine &commandLine, const shell::RunContext &context, QTextStream &out,
        QTextStream &err, bool batched = false);

} // namespace BatchMode

} // namespace configurator
