// The update's parsers on arbitrary bytes: minisign keys and signatures, the signature check and
// the version file. Built by clang with -DIVEVA_FUZZ=ON this is a libFuzzer program; otherwise
// main() replays seed files, where *.pub must read as a key, *.minisig as a signature and *.bad
// as neither.

#include "flasher/update/Minisign.h"
#include "flasher/update/SignatureCheck.h"
#include "flasher/update/VersionFile.h"

#include <QDirIterator>
#include <QFile>
#include <cstdint>
#include <cstdio>

using namespace flasher;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<MinisignKey> key = MinisignKey::parse(bytes);
    const std::optional<MinisignSignature> signature = MinisignSignature::parse(bytes);
    // A key of the signature's id takes the check on to the cryptography.
    SignaturePolicy policy;
    policy.keys.add(key.value_or(
        MinisignKey{signature ? signature->keyId : QByteArray(8, '\0'), QByteArray(32, '\7')}));
    SignatureCheck(policy, [](const QString &) {}).accept(bytes, bytes, QStringLiteral("V2.20"));
    (void)VersionFile::parse(bytes);
    return 0;
}

#ifndef IVEVA_FUZZ
int main(int argc, char *argv[])
{
    int files = 0, failures = 0;
    for (int i = 1; i < argc; ++i) {
        QDirIterator seeds(QString::fromLocal8Bit(argv[i]), QDir::Files);
        while (seeds.hasNext()) {
            const QString path = seeds.next();
            QFile file(path);
            const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                                   std::size_t(bytes.size()));
            const bool isKey = MinisignKey::parse(bytes).has_value();
            const bool isSignature = MinisignSignature::parse(bytes).has_value();
            const bool asExpected = path.endsWith(u".pub")       ? isKey && !isSignature
                                    : path.endsWith(u".minisig") ? isSignature && !isKey
                                    : path.endsWith(u".bad")     ? !isKey && !isSignature
                                                                 : true;
            if (!asExpected)
                std::fprintf(stderr, "falsch gelesen: %s\n", qPrintable(path));
            failures += asExpected ? 0 : 1;
            ++files;
        }
    }
    std::printf("%d Dateien, %d falsch gelesen\n", files, failures);
    return files > 0 && failures == 0 ? 0 : 1;
}
#endif
