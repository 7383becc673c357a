#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace flasher {

// The update server's version file: the newest firmware version, the address of the copy
// offered to the user and the file name proposed for it. Only the first three fields count.
class VersionFile
{
public:
    // Reads the fields in order. Fields end at a comma or a line end; blanks before a field and
    // empty lines between fields are skipped; a field in double quotes is taken without them
    // and may hold commas (anything after its closing quote up to the next separator is
    // dropped). Empty when the text holds fewer than three fields.
    static std::optional<VersionFile> parse(const QByteArray &bytes);
    // The same for a file; empty when it cannot be read.
    static std::optional<VersionFile> load(const QString &path);

    const QString &availableVersion() const { return m_availableVersion; }
    const QString &copyAddress() const { return m_copyAddress; }
    const QString &copyFileName() const { return m_copyFileName; }

private:
    QString m_availableVersion;
    QString m_copyAddress;
    QString m_copyFileName;
};

} // namespace flasher
