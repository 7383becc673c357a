// The update with minisign signatures: the flasher's --update against a simulated gauge and a
// local server whose files carry signatures made here with libsodium, or once by minisign itself
// (minisign/fixture.*), so that a hashing or byte-order slip shared by signer and checker fails.

#include "FlasherTestKit.h"
#include "TestHttpServer.h"
#include "devicelink/ComPort.h"
#include "flasher/BatchMode.h"
#include "flasher/update/TrustedKeys.h"
#include "flasher/update/UpdateFolder.h"

#include <QNetworkProxy>
#include <QSettings>
#include <QStandardPaths>
#include <sodium.h>

using namespace flasher;
using namespace std::chrono_literals;

namespace {

// A minisign key pair as `minisign -G` makes one, signing as `minisign -S` does.
struct Signer
{
    QByteArray id = QByteArray(8, '\0'), publicKey = QByteArray(32, '\0'),
               secretKey = QByteArray(64, '\0');
    Signer()
    {
        randombytes_buf(id.data(), 8);
        crypto_sign_keypair(bytes(publicKey), bytes(secretKey));
    }
    static unsigned char *bytes(QByteArray &a)
    {
        return reinterpret_cast<unsigned char *>(a.data());
    }
    QByteArray detached(const QByteArray &message) const
    {
        QByteArray signature(64, '\0');
        crypto_sign_detached(
            bytes(signature), nullptr, reinterpret_cast<const unsigned char *>(message.constData()),
            message.size(), reinterpret_cast<const unsigned char *>(secretKey.constData()));
        return signature;
    }
    QByteArray pub() const
    {
        return "untrusted comment: test\n" + ("Ed" + id + publicKey).toBase64() + "\n";
    }
    QByteArray sign(const QByteArray &data, const QByteArray &comment) const
    {
        QByteArray hash(64, '\0');
        crypto_generichash(bytes(hash), 64,
                           reinterpret_cast<const unsigned char *>(data.constData()), data.size(),
                           nullptr, 0);
        const QByteArray signature = detached(hash);
        return "untrusted comment: test\n" + ("ED" + id + signature).toBase64() +
               "\ntrusted comment: " + comment + "\n" + detached(signature + comment).toBase64() +
               "\n";
    }
};

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

struct Case
{
    QByteArray signers = "mmm"; // version file, copy, image: Maker, Stranger, minisign's Fixture,
                                // a garbled signature (x) or none (-)
    QByteArray comment = "version=V2.20 build=7"; // the copy's and the image's trusted comment
    bool tamperImage = false, editComment = false, saveKey = false;
    int imageSignatureStatus = 200;
    QStringList arguments = {"--trusted-key", "@maker"};
    int status = 1;
    QStringList lines; // printed in this order; @m and @s are the two keys' ids
};

class TestSignedUpdate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true); // saved keys stay out of the user's settings
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    }
    void cleanup() { QSettings().remove(TrustedKeys::SettingsKey); }

    void update_data()
    {
        QTest::addColumn<Case>("c");
        auto row = [](const char *name, Case c) { QTest::newRow(name) << c; };
        const QString checked = "Signatur geprüft: Schlüssel ", copied = "Download erfolgreich!",
                      flashed = "Erfolgreich geflasht!",
                      unknown = "Schlüssel @s ist nicht "
                                "vertrauenswürdig",
                      invalid = "Signatur ungültig",
                      unchecked = "Update nicht signiert: Herkunft "
                                  "nicht geprüft";
        row("all signed", {.status = 0,
                           .lines = {checked + "@m", "Verfügbare Firmwareversion: V2.20",
                                     checked + "@m", copied, checked + "@m", flashed}});
        row("copy and image signed by minisign",
            {.signers = "mff",
             .arguments = {"--trusted-key", "@maker", "--trusted-key", "@fixture"},
             .status = 0,
             .lines = {checked + "9A3F29138DB9FC0A", copied, checked + "9A3F29138DB9FC0A",
                       flashed}});
        row("version file by an unknown key", {.signers = "smm", .lines = {unknown}});
        row("image by an unknown key, the checked copy stays",
            {.signers = "mms", .lines = {copied, unknown}});
        row("image changed after signing", {.tamperImage = true, .lines = {copied, invalid}});
        row("trusted comment edited", {.editComment = true, .lines = {copied, invalid}});
        row("signed for another version", {.comment = "build=7 version=V2.19",
                                           .lines = {"Signatur gilt für V2.19, nicht V2.20"}});
        row("garbled signature", {.signers = "xmm", .lines = {invalid}});
        row("image's signature fails to download",
            {.imageSignatureStatus = 500,
             .lines = {copied, "Download fehlgeschlagen", "Grund: HTTP 500"}});
        row("unsigned",
            {.signers = "---", .arguments = {}, .status = 0, .lines = {unchecked, flashed}});
        row("unsigned, --require-signature", {.signers = "---",
                                              .arguments = {"--require-signature"},
                                              .lines = {"Update nicht signiert"}});
        row("image unsigned, key saved",
            {.signers = "mm-",
             .saveKey = true,
             .arguments = {},
             .lines = {checked + "@m", copied, "Update nicht signiert"}});
        row("signed, no key trusted",
            {.arguments = {},
             .status = 0,
             .lines = {"Signatur nicht prüfbar: kein vertrauenswürdiger Schlüssel", unchecked,
                       flashed}});
        row("malformed key file",
            {.arguments = {"--trusted-key", "@maker", "--trusted-key", "@bad"},
             .status = 2,
             .lines = {"iveva-flasher: Schlüsseldatei \"@bad\" ist kein öffentlicher "
                       "minisign-Schlüssel"}});
        row("missing key file",
            {.arguments = {"--trusted-key", "@dir/gone.pub"},
             .status = 2,
             .lines = {"iveva-flasher: Schlüsseldatei \"@dir/gone.pub\" fehlt"}});
    }

    // Only a run that ends with 0 programs; none leaves a helper file; the copy stays only when
    // it passed; nothing is fetched after a failed check, nor at all with a bad key file.
    void update()
    {
        QFETCH(Case, c);
        SimulatedPorts ports;
        sim::GaugeSimulator &gauge = ports.add(5, sim::GaugeOptions{.resetDelay = 50ms});
        QTemporaryDir dir;
        const Signer maker, stranger;
        const QString fixture = QFINDTESTDATA("minisign/fixture.pub").chopped(4);
        QVERIFY(writeBytes(dir.filePath("maker.pub"), maker.pub()));
        QVERIFY(writeBytes(dir.filePath("bad.pub"), "untrusted comment: x\nRWQ=\n"));
        const QByteArray image =
            c.signers[2] == 'f' ? readBytes(fixture + ".bin") : filePattern(300);

        TestHttpServer server;
        QStringList requested;
        server.onRequest = [&requested](const QString &path) { requested.append(path); };
        auto serve = [&](const QString &path, const QByteArray &body, char signer,
                         const QByteArray &comment) {
            server.route(path).body = body;
            const QByteArray signature = signer == 'm'   ? maker.sign(body, comment)
                                         : signer == 's' ? stranger.sign(body, comment)
                                         : signer == 'f' ? readBytes(fixture + ".bin.minisig")
                                         : signer == 'x' ? "untrusted comment: x\nkaputt\n"
                                                         : QByteArray();
            if (!signature.isEmpty())
                server.route(path + ".minisig").body = signature;
        };
        serve("/DEVAZ/firmware.txt", "V2.20,/files/new.bin,new.bin", c.signers[0], "version=V2.20");
        serve("/files/new.bin", image, c.signers[1], c.comment);
        serve("/DEVAZ/lastfw.bin", image, c.signers[2], c.comment);
        if (c.tamperImage)
            server.route("/DEVAZ/lastfw.bin").body[10] ^= 1;
        if (c.editComment)
            server.route("/DEVAZ/lastfw.bin.minisig").body.replace("build=7", "build=8");
        if (c.imageSignatureStatus != 200)
            server.route("/DEVAZ/lastfw.bin.minisig").status = c.imageSignatureStatus;

        const auto resolve = [&](QString text) {
            return text.replace("@maker", dir.filePath("maker.pub"))
                .replace("@fixture", fixture + ".pub")
                .replace("@bad", dir.filePath("bad.pub"))
                .replace("@dir", dir.path())
                .replace("@m", MinisignKeyIdText(maker.id))
                .replace("@s", MinisignKeyIdText(stranger.id));
        };
        if (c.saveKey)
            QCOMPARE(run({"--save-trusted-key", resolve("@maker")}).first, 0);
        QStringList arguments = {
            "--update", "--yes",    "--port",       "5",
            "--copy",   dir.path(), "--update-url", server.baseUrl().toString()};
        for (const QString &argument : c.arguments)
            arguments.append(resolve(argument));
        const auto [status, printed] = run(arguments);

        QCOMPARE(status, c.status);
        qsizetype at = 0;
        for (const QString &line : c.lines)
            QVERIFY2((at = printed.indexOf(resolve(line), at)) >= 0,
                     qPrintable(printed.join('\n')));
        QCOMPARE(gauge.waitForImages(1, status == 0 ? 5s : 0s), status == 0);
        QVERIFY(!QFile::exists(QDir(UpdateFolder::pick()).filePath("jdwiii.hzg")));
        QCOMPARE(QFile::exists(dir.filePath("new.bin")), printed.contains("Download erfolgreich!"));
        QVERIFY(status == 2 ? requested.isEmpty()
                            : !requested.isEmpty() && requested.last().endsWith(".minisig"));
    }

private:
    // The exit status and every line printed on stdout and stderr.
    static std::pair<int, QStringList> run(const QStringList &arguments)
    {
        QString out, err;
        int status = -1;
        {
            QTextStream outStream(&out), errStream(&err);
            const auto line = shell::CommandLine::parse(BatchMode::program(),
                                                        QStringList{"iveva-flasher"} + arguments);
            devicelink::ComPort port(testContext().link);
            status = BatchMode::Run(line, testContext(), line.value("update-url"), port, outStream,
                                    errStream, false);
        }
        return {status, (out + err).split('\n', Qt::SkipEmptyParts)};
    }
};

QTEST_GUILESS_MAIN(TestSignedUpdate)
#include "tst_signedupdate.moc"
