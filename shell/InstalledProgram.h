#pragma once

#include <QString>

namespace shell {

// Whether `programFolder` is the bin/ folder of an installed tree (share/ beside it under the
// prefix: /usr, /usr/local, any `cmake --install` prefix). A program run from its build tree
// is not installed, and may keep its files beside itself or in the current folder.
bool isInstalledProgramFolder(const QString &programFolder);

// True when the running program is installed.
bool runsInstalled();

// The user's data folder of the running program (~/.local/share/ROZID/<program> on Linux),
// created when missing. A folder that cannot be created is still returned: writing into it
// fails with its name, where a fallback would put the files somewhere the user does not look.
QString userDataFolder();

} // namespace shell
