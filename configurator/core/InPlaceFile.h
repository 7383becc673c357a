#pragma once

#include <QByteArray>
#include <QString>

namespace configurator {

// Writes `bytes` over the start of the file at `path`, in place: a missing file is created, an
// existing longer one keeps everything after them. A path that names anything but a regular
// file is refused without being opened (a FIFO would block us).
//
// A failed write leaves things as they were: a file it created is removed again, an existing
// file gets its old bytes and length back. `reason` then holds the system's explanation.
bool WriteInPlace(const QString &path, const QByteArray &bytes, QString *reason = nullptr);

} // namespace configurator
