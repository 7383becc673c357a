#include "flasher/update/Minisign.h"

#include <QByteArrayView>
#include <QList>

#include <sodium.h>

#include <algorithm>

namespace flasher {

namespace {

constexpr QByteArrayView UntrustedComment = "untrusted comment: ";
constexpr QByteArrayView TrustedComment = "trusted comment: ";
constexpr QByteArrayView KeyAlgorithm = "Ed";
constexpr QByteArrayView HashedAlgorithm = "ED";
constexpr qsizetype AlgorithmBytes = 2;
constexpr qsizetype HashBytes = 64; // BLAKE2b-512
// Far above what minisign writes (its comments stop at 1 and 8 KiB).
constexpr qsizetype MaxKeyFileBytes = 4096;
constexpr qsizetype MaxSignatureFileBytes = 16384;

// The file's lines without their line ends (a Windows editor may have added "\r"); one final line
// end is allowed. Nothing when the text has not exactly `count` lines.
std::optional<QList<QByteArray>> splitLines(const QByteArray &text, qsizetype count,
                                            qsizetype maxBytes)
{
    if (text.size() > maxBytes)
        return std::nullopt;
    QList<QByteArray> lines = text.split('\n');
    if (lines.size() == count + 1 && lines.last().isEmpty())
        lines.removeLast();
    if (lines.size() != count)
        return std::nullopt;
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return lines;
}

// Strict base64 of exactly `size` bytes: one spelling only, so a key line compares as text.
std::optional<QByteArray> decodeBase64(const QByteArray &line, qsizetype size)
{
    const QByteArray::FromBase64Result result =
        QByteArray::fromBase64Encoding(line, QByteArray::AbortOnBase64DecodingErrors);
    if (!result || result.decoded.size() != size || result.decoded.toBase64() != line)
        return std::nullopt;
    return result.decoded;
}

bool verifyDetached(const QByteArray &signature, const QByteArray &message,
                    const QByteArray &publicKey)
{
    return crypto_sign_verify_detached(
               reinterpret_cast<const unsigned char *>(signature.constData()),
               reinterpret_cast<const unsigned char *>(message.constData()),
               static_cast<unsigned long long>(message.size()),
               reinterpret_cast<const unsigned char *>(publicKey.constData())) == 0;
}

} // namespace

std::optional<MinisignKey> MinisignKey::parse(const QByteArray &text)
{
    const std::optional<QList<QByteArray>> lines = splitLines(text, 2, MaxKeyFileBytes);
    if (!lines || !lines->at(0).startsWith(UntrustedComment))
        return std::nullopt;
    return fromKeyLine(lines->at(1));
}

std::optional<MinisignKey> MinisignKey::fromKeyLine(const QByteArray &line)
{
    const std::optional<QByteArray> bytes =
        decodeBase64(line, AlgorithmBytes + IdBytes + PublicKeyBytes);
    if (!bytes || !bytes->startsWith(KeyAlgorithm))
        return std::nullopt;
    return MinisignKey{bytes->mid(AlgorithmBytes, IdBytes), bytes->mid(AlgorithmBytes + IdBytes)};
}

QByteArray MinisignKey::keyLine() const
{
    return (KeyAlgorithm.toByteArray() + keyId + publicKey).toBase64();
}

QString MinisignKey::idText() const
{
    return MinisignKeyIdText(keyId);
}

std::optional<MinisignSignature> MinisignSignature::parse(const QByteArray &text)
{
    const std::optional<QList<QByteArray>> lines = splitLines(text, 4, MaxSignatureFileBytes);
    if (!lines || !lines->at(0).startsWith(UntrustedComment) ||
        !lines->at(2).startsWith(TrustedComment))
        return std::nullopt;
    const std::optional<QByteArray> body =
        decodeBase64(lines->at(1), AlgorithmBytes + MinisignKey::IdBytes + SignatureBytes);
    const std::optional<QByteArray> global = decodeBase64(lines->at(3), SignatureBytes);
    if (!body || !global)
        return std::nullopt;
    const QByteArray algorithm = body->left(AlgorithmBytes);
    if (algorithm != HashedAlgorithm && algorithm != KeyAlgorithm)
        return std::nullopt;
    MinisignSignature parsed;
    parsed.prehashed = algorithm == HashedAlgorithm;
    parsed.keyId = body->mid(AlgorithmBytes, MinisignKey::IdBytes);
    parsed.signature = body->mid(AlgorithmBytes + MinisignKey::IdBytes);
    parsed.trustedComment = lines->at(2).mid(TrustedComment.size());
    parsed.globalSignature = *global;
    return parsed;
}

bool MinisignSignature::verify(const MinisignKey &key, const QByteArray &data) const
{
    if (sodium_init() < 0 || key.keyId != keyId ||
        key.publicKey.size() != MinisignKey::PublicKeyBytes || signature.size() != SignatureBytes ||
        globalSignature.size() != SignatureBytes)
        return false;
    QByteArray message = data;
    if (prehashed) {
        // Unkeyed BLAKE2b-512, not libsodium's Ed25519ph (which hashes with SHA-512).
        message = QByteArray(HashBytes, '\0');
        crypto_generichash(reinterpret_cast<unsigned char *>(message.data()),
                           static_cast<size_t>(message.size()),
                           reinterpret_cast<const unsigned char *>(data.constData()),
                           static_cast<unsigned long long>(data.size()), nullptr, 0);
    }
    return verifyDetached(signature, message, key.publicKey) &&
           verifyDetached(globalSignature, signature + trustedComment, key.publicKey);
}

QString MinisignKeyIdText(const QByteArray &keyId)
{
    QByteArray littleEndian = keyId;
    std::reverse(littleEndian.begin(), littleEndian.end());
    return QString::fromLatin1(littleEndian.toHex().toUpper());
}

} // namespace flasher
