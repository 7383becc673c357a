#include "flasher/update/SignatureCheck.h"

#include <QRegularExpression>

namespace flasher {

namespace {

// The version a trusted comment names ("version=V2.20" among blank-separated tokens); empty
// when it names none.
QString signedVersion(const QByteArray &trustedComment)
{
    static const QRegularExpression blanks(QStringLiteral("[ \t]+"));
    const QString prefix = QStringLiteral("version=");
    for (const QString &token :
         QString::fromUtf8(trustedComment).split(blanks, Qt::SkipEmptyParts)) {
        if (token.startsWith(prefix))
            return token.mid(prefix.size());
    }
    return QString();
}

} // namespace

SignatureCheck::SignatureCheck(const SignaturePolicy &policy, List list)
    : m_policy(policy), m_list(std::move(list))
{}

bool SignatureCheck::accept(const std::optional<QByteArray> &signature, const QByteArray &file,
                            const QString &version)
{
    if (!signature)
        return acceptUnsigned();
    if (m_policy.keys.isEmpty()) {
        if (!m_uncheckableListed)
            m_list(QStringLiteral("Signatur nicht prüfbar: kein vertrauenswürdiger Schlüssel"));
        m_uncheckableListed = true;
        return acceptUnsigned();
    }
    const std::optional<MinisignSignature> parsed = MinisignSignature::parse(*signature);
    if (parsed && !m_policy.keys.hasId(parsed->keyId)) {
        m_list(QStringLiteral("Schlüssel %1 ist nicht vertrauenswürdig")
                   .arg(MinisignKeyIdText(parsed->keyId)));
        return false;
    }
    if (!parsed || !m_policy.keys.verify(*parsed, file)) {
        m_list(QStringLiteral("Signatur ungültig"));
        return false;
    }
    // A signed old image must not pass under a newer version file.
    if (const QString signedFor = signedVersion(parsed->trustedComment);
        !version.isEmpty() && signedFor != version) {
        m_list(
            QStringLiteral("Signatur gilt für %1, nicht %2")
                .arg(signedFor.isEmpty() ? QStringLiteral("keine Version") : signedFor, version));
        return false;
    }
    m_list(QStringLiteral("Signatur geprüft: Schlüssel ") + MinisignKeyIdText(parsed->keyId));
    return true;
}

bool SignatureCheck::acceptUnsigned()
{
    if (m_policy.required) {
        m_list(QStringLiteral("Update nicht signiert"));
        return false;
    }
    if (!m_unsignedListed)
        m_list(QStringLiteral("Update nicht signiert: Herkunft nicht geprüft"));
    m_unsignedListed = true;
    return true;
}

} // namespace flasher
