#include "flasher/update/TrustedKeys.h"

#include "shell/SavedSettings.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>

// The key lines of the keys built in, blank-separated; the build defines them.
#ifndef IVEVA_BUILTIN_KEYS
#define IVEVA_BUILTIN_KEYS ""
#endif

namespace flasher {

namespace {

// Larger files are no key file; the parser refuses them too.
constexpr qint64 MaxKeyFileBytes = 4096;

TrustedKeys fromKeyLines(const QList<QByteArray> &lines)
{
    TrustedKeys keys;
    for (const QByteArray &line : lines) {
        if (const std::optional<MinisignKey> key = MinisignKey::fromKeyLine(line))
            keys.add(*key);
    }
    return keys;
}

} // namespace

TrustedKeys TrustedKeys::builtIn()
{
    return fromKeyLines(QByteArray(IVEVA_BUILTIN_KEYS).split(' '));
}

TrustedKeys TrustedKeys::saved()
{
    QList<QByteArray> lines;
    for (const QString &line : shell::savedSetting(QLatin1String(SettingsKey)).toStringList())
        lines.append(line.toLatin1());
    return fromKeyLines(lines);
}

QString TrustedKeys::save(const MinisignKey &key)
{
    QStringList lines = shell::savedSetting(QLatin1String(SettingsKey)).toStringList();
    const QString line = QString::fromLatin1(key.keyLine());
    if (!lines.contains(line))
        lines.append(line);
    return shell::saveSetting(QLatin1String(SettingsKey), lines);
}

std::optional<MinisignKey> TrustedKeys::readFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!QFileInfo(path).isFile()) {
        *error = QStringLiteral("Schlüsseldatei \"%1\" fehlt").arg(path);
        return std::nullopt;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Schlüsseldatei \"%1\" kann nicht gelesen werden: %2")
                     .arg(path, file.errorString());
        return std::nullopt;
    }
    const std::optional<MinisignKey> key = MinisignKey::parse(file.read(MaxKeyFileBytes + 1));
    if (!key)
        *error = QStringLiteral("Schlüsseldatei \"%1\" ist kein öffentlicher minisign-Schlüssel")
                     .arg(path);
    return key;
}

void TrustedKeys::add(const MinisignKey &key)
{
    if (!m_keys.contains(key))
        m_keys.append(key);
}

void TrustedKeys::add(const TrustedKeys &keys)
{
    for (const MinisignKey &key : keys.m_keys)
        add(key);
}

bool TrustedKeys::hasId(const QByteArray &keyId) const
{
    return std::any_of(m_keys.cbegin(), m_keys.cend(),
                       [&keyId](const MinisignKey &key) { return key.keyId == keyId; });
}

bool TrustedKeys::verify(const MinisignSignature &signature, const QByteArray &data) const
{
    // Anyone can give a key any id: each trusted key of that id gets its try.
    return std::any_of(m_keys.cbegin(), m_keys.cend(), [&](const MinisignKey &key) {
        return key.keyId == signature.keyId && signature.verify(key, data);
    });
}

} // namespace flasher
