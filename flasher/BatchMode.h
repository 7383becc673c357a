#pragma once

#include "flasher/update/SignatureCheck.h"
#include "shell/CommandLine.h"
#include "shell/RunContext.h"

#include <QTextStream>

#include <optional>

namespace flasher {

// The flasher without its window: one command from the command line, every log line to the
// output as it happens, and an exit status for scripts.
namespace BatchMode {

// The flasher's options: they decide between window and batch mode and make up --help.
const shell::Program &program();
// The update server --update-url names; empty when none.
QString updateUrlOption(const shell::CommandLine &commandLine);
// The signature policy of the window: the built-in and saved keys, each --trusted-key file, and
// --require-signature. Empty, with `error` naming the file, when a key file is missing or no
// minisign public key.
std::optional<SignaturePolicy> windowSignaturePolicy(const shell::CommandLine &commandLine,
                                                     QString *error);

// Runs the command the command line names on the ports of `context` (the device link's settings
// and the update server come from `context`). Log lines go to `out`, in batches when `batched` is
// set (a pipe or a file); usage errors, explanations, a failure once more, the wire trace and the
// percentage as one updating line when `percentLine` is set (a terminal) go to `err`.
int Run(const shell::CommandLine &commandLine, const shell::RunContext &context, QTextStream &out,
        QTextStream &err, bool percentLine, bool batched = false);

} // namespace BatchMode

} // namespace flasher
