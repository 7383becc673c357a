#pragma once

#include <QString>

namespace flasher {

// The folder for the command's downloads ("firmware.txt", "jdwiii.hzg"): the program's own
// folder, or, where that is not writable (an installed program), the program's data folder
// of the user.
namespace UpdateFolder {

// The folder for this program, created when needed. Empty when neither can be used.
QString pick();

// `programFolder` when files can be created in it; otherwise `fallbackFolder`, created when
// missing; empty when neither works.
QString choose(const QString &programFolder, const QString &fallbackFolder);

} // namespace UpdateFolder

} // namespace flasher
