#pragma once

#include "flasher/update/TrustedKeys.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace flasher {

// Which keys an update trusts, and whether its files must be signed at all (always when a key
// is built in or saved, or on request).
struct SignaturePolicy
{
    TrustedKeys keys;
    bool required = false;
};

// Judges the signatures of one update's files by the policy and lists why. A served signature
// must verify with a trusted key; an unsigned file passes only when signatures are not required,
// and the notes about an unchecked origin are listed once per update.
class SignatureCheck
{
public:
    using List = std::function<void(const QString &line)>;

    SignatureCheck(const SignaturePolicy &policy, List list);

    // `signature`: the ".minisig" served for the file, nothing when the server has none.
    // `version`: the version the trusted comment must name as "version=<version>", empty for
    // the version file itself. True when the update may use the file.
    bool accept(const std::optional<QByteArray> &signature, const QByteArray &file,
                const QString &version);

private:
    bool acceptUnsigned();

    SignaturePolicy m_policy;
    List m_list;
    bool m_unsignedListed = false;
    bool m_uncheckableListed = false;
};

} // namespace flasher
