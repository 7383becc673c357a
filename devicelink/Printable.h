#pragma once

#include <QByteArray>
#include <QString>

namespace devicelink {

// Text from outside (the gauge's answer, the update server, a file or device name) as it may be
// shown in a window, printed on a terminal or written to a log: every control character (below
// 0x20, 0x7F and 0x80-0x9F) becomes "\xNN", so an escape sequence can neither steer the
// terminal nor hide in the log. Comparisons and files keep the raw text.
QString printable(const QString &text);
// The gauge's bytes, each byte one Latin-1 character.
QString printable(const QByteArray &bytes);

} // namespace devicelink
