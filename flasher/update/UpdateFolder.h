#pragma once

#include <QString>

namespace flasher {

// The folder for the command's downloads ("firmware.txt", "jdwiii.hzg"): the program's own
// folder in a build tree, or the program's data folder of the user for an installed program
// and wherever the program's folder is not writable.
namespace UpdateFolder {

// The folder for this program, created when needed; `installed`: the program runs installed
// (the shell's runsInstalled() tells). Empty when neither can be used.
QString pick(bool installed);

// `programFolder` when files can be created in it; otherwise `fallbackFolder`, created when
// missing; empty when neither works.
QString choose(const QString &programFolder, const QString &fallbackFolder);

} // namespace UpdateFolder

} // namespace flasher
