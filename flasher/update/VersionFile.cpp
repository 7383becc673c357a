#include "flasher/update/VersionFile.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringList>

namespace flasher {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool isLineEnd(QChar c)
{
    return c == u'\n' || c == u'\r';
}

// The file is written by hand on the server: take UTF-8 when it is valid, else Latin-1.
QString decode(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return QString::fromLatin1(bytes);
    return text;
}

QStringList readFields(const QString &text, int wanted)
{
    QStringList fields;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (fields.size() < wanted) {
        while (i < n && isBlank(text[i]))
            ++i;
        if (i >= n)
            break;
        if (isLineEnd(text[i])) { // empty lines, and a line end right after a comma
            ++i;
            continue;
        }
        if (text[i] == u',') { // "a,,b": an empty field
            fields.append(QString());
            ++i;
            continue;
        }
        QString field;
        if (text[i] == u'"') {
            const qsizetype close = text.indexOf(u'"', i + 1);
            const qsizetype end = close < 0 ? n : close;
            field = text.mid(i + 1, end - i - 1);
            i = end;
            while (i < n && text[i] != u',' && !isLineEnd(text[i]))
                ++i;
        } else {
            const qsizetype start = i;
            while (i < n && text[i] != u',' && !isLineEnd(text[i]))
                ++i;
            field = text.mid(start, i - start);
            while (!field.isEmpty() && isBlank(field.back()))
                field.chop(1);
        }
        fields.append(field);
        if (i < n && text[i] == u',')
            ++i;
    }
    return fields;
}

} // namespace

std::optional<VersionFile> VersionFile::parse(const QByteArray &bytes)
{
    const QStringList fields = readFields(decode(bytes), 4);
    if (fields.size() < 3)
        return std::nullopt;
    VersionFile file;
    file.m_availableVersion = fields[0];
    file.m_copyAddress = fields[1];
    file.m_copyFileName = fields[2];
    file.m_checksumField = fields.value(3);
    return file;
}

QByteArray VersionFile::sha256() const
{
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{64}$"));
    if (!hex.match(m_checksumField).hasMatch())
        return QByteArray();
    return m_checksumField.toLatin1().toLower();
}

std::optional<VersionFile> VersionFile::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return parse(bytes);
}

} // namespace flasher
