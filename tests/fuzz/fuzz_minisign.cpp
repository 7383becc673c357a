// The update's parsers on arbitrary bytes: minisign keys and signatures, the signature check and
// the version file. Built by clang with -DIVEVA_FUZZ=ON this is a libFuzzer program; otherwise
// main() replays seed files, where *.pub must read as a key, *.minisig as a signature and *.bad
// as neither.

#include "flasher/update/Minisign.h"
#include "flasher/update/SignatureCheck.h"
#include "flasher/update/VersionFile.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
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
    int files = 0, wrong = 0;
    for (QDirIterator seeds(QString::fromLocal8Bit(argc > 1 ? argv[1] : "."), QDir::Files,
                            QDirIterator::Subdirectories);
         seeds.hasNext(); ++files) {
        QFile file(seeds.next());
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                               std::size_t(bytes.size()));
        const QString kind = QFileInfo(file).suffix();
        const bool isKey = MinisignKey::parse(bytes).has_value(),
                   isSignature = MinisignSignature::parse(bytes).has_value();
        if ((kind == u"pub" || kind == u"minisig" || kind == u"bad") &&
            (isKey != (kind == u"pub") || isSignature != (kind == u"minisig"))) {
            std::fprintf(stderr, "falsch gelesen: %s\n", qPrintable(file.fileName()));
            ++wrong;
        }
    }
    std::printf("%d Dateien, %d falsch gelesen\n", files, wrong);
    return files > 0 && wrong == 0 ? 0 : 1;
}
#endif
