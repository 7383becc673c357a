#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace flasher {

// The update server's version file: the newest firmware version, the address of the copy
// offered to the user and the file name proposed for it, optionally followed by the SHA-256 of
// the firmware image. Anything after the fourth field is ignored.
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
    // The fourth field as written; empty when there is none.
    const QString &checksumField() const { return m_checksumField; }
    // The image's SHA-256 from the fourth field, lower-case hex; empty when the field is absent
    // or is not 64 hex digits (older servers may put something else there).
    QByteArray sha256() const;

private:
    QString m_availableVersion;
    QString m_copyAddress;
    QString m_copyFileName;
    QString m_checksumField;
};

} // namespace flasher
