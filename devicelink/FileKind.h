#pragma once

#include <QString>

namespace devicelink {

// True when `path` names a regular file (also through a symbolic link) or nothing at all yet.
// Everything else (a FIFO, a device, a socket, a folder) would block a read or write or is no
// file of ours: callers treat it like a file they cannot read or write and never open it.
bool IsRegularFileOrMissing(const QString &path);

} // namespace devicelink
