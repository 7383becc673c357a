#pragma once

#include "flasher/update/Minisign.h"

#include <QList>
#include <QString>
#include <optional>

namespace flasher {

// The minisign public keys whose signatures an update may carry. They come built in (the CMake
// option IVEVA_TRUSTED_KEYS names ".pub" files), saved in the settings (--save-trusted-key), or
// from ".pub" files given for one run (--trusted-key).
class TrustedKeys
{
public:
    static constexpr const char *SettingsKey = "update/trustedKeys";

    static TrustedKeys builtIn();
    static TrustedKeys saved();
    // Adds `key` to the saved keys. Empty when it reached the settings file, else why not.
    static QString save(const MinisignKey &key);
    // A ".pub" file; nothing, with a German message naming the file in `error`, when it is
    // missing, unreadable or no minisign public key.
    static std::optional<MinisignKey> readFile(const QString &path, QString *error);

    void add(const MinisignKey &key);
    void add(const TrustedKeys &keys);
    bool hasId(const QByteArray &keyId) const;
    // True when a trusted key of the signature's id made it and it covers `data`.
    bool verify(const MinisignSignature &signature, const QByteArray &data) const;
    bool isEmpty() const { return m_keys.isEmpty(); }

private:
    QList<MinisignKey> m_keys;
};

} // namespace flasher
