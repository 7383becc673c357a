#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace flasher {

// minisign's two small text formats, read strictly: anything that is not exactly what minisign
// writes is refused, never half read.

// A public key: a ".pub" file holds an untrusted comment line and the key line, base64 of "Ed",
// the 8-byte key id and the 32-byte Ed25519 public key.
struct MinisignKey
{
    static constexpr qsizetype IdBytes = 8;
    static constexpr qsizetype PublicKeyBytes = 32;

    QByteArray keyId;
    QByteArray publicKey;

    // The text of a ".pub" file.
    static std::optional<MinisignKey> parse(const QByteArray &text);
    // The key line alone, as settings and the build keep a key.
    static std::optional<MinisignKey> fromKeyLine(const QByteArray &line);
    QByteArray keyLine() const;
    // The id as minisign prints it.
    QString idText() const;

    bool operator==(const MinisignKey &) const = default;
};

// A ".minisig" file: an untrusted comment line, base64 of the algorithm, the key id and the
// 64-byte signature, a "trusted comment: " line, and base64 of the 64-byte global signature over
// the signature and the trusted comment's text.
struct MinisignSignature
{
    static constexpr qsizetype SignatureBytes = 64;

    bool prehashed = true; // "ED" signs the file's BLAKE2b-512, the older "Ed" the file itself
    QByteArray keyId;
    QByteArray signature;
    QByteArray trustedComment;
    QByteArray globalSignature;

    static std::optional<MinisignSignature> parse(const QByteArray &text);
    // True when `key` (its id must match) made both signatures and the signature covers `data`.
    bool verify(const MinisignKey &key, const QByteArray &data) const;
};

// 16 upper-case hex digits of the id's 8 bytes read little-endian, as minisign prints a key id.
QString MinisignKeyIdText(const QByteArray &keyId);

} // namespace flasher
