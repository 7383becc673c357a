// The update with minisign signatures: --update against a simulated gauge and a local server whose
// files are signed here with libsodium, or once by minisign itself (tests/fuzz/corpus/fixture), so
// that a hashing or byte-order slip shared by this signer and the checker cannot pass.

#include "FlasherTestKit.h"
#include "TestHttpServer.h"
#include "flasher/BatchMode.h"
#include "flasher/update/TrustedKeys.h"
#include "flasher/update/UpdateFolder.h"
#include "shell/InstalledProgram.h"

#include <QCoreApplication>
#include <QNetworkProxy>
#include <QSettings>
#include <QStandardPaths>
#include <sodium.h>

using namespace flasher;
using namespace std::chrono_literals;

namespace {

// A key pair as `minisign -G` makes it, signing as `minisign -S` does.
struct Signer
{
    QByteArray id{8, 0}, pk{32, 0}, sk{64, 0};
    Signer()
    {
        randombytes_buf(id.data(), 8);
        crypto_sign_keypair(u(pk), u(sk));
    }
    static unsigned char *u(QByteArray &a) { return reinterpret_cast<unsigned char *>(a.data()); }
    QByteArray sig(QByteArray m)
    {
        QByteArray s(64, 0);
        crypto_sign_detached(u(s), nullptr, u(m), m.size(), u(sk));
        return s;
    }
    QByteArray pub() { return "untrusted comment: k\n" + ("Ed" + id + pk).toBase64() + "\n"; }
    QByteArray sign(QByteArray data, const QByteArray &comment)
    {
        QByteArray hash(64, 0);
        crypto_generichash(u(hash), 64, u(data), data.size(), nullptr, 0);
        const QByteArray s = sig(hash);
        return "untrusted comment: s\n" + ("ED" + id + s).toBase64() +
               "\ntrusted comment: " + comment + "\n" + sig(s + comment).toBase64() + "\n";
    }
};

} // namespace

class TestSignedUpdate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true); // saved keys stay out of the user's settings
        QCoreApplication::setOrganizationName("ROZID"); // without one, QSettings writes nothing
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    }
    void cleanup() { QSettings().remove(TrustedKeys::SettingsKey); }

    void update_data()
    {
        // Version file, copy, image: signed by the Maker, a Stranger, minisign's Fixture, for
        // the Old version, then Tampered or its Comment edited; garbled (x), none (-), or its
        // signature answers 500 (5).
        QTest::addColumn<QByteArray>("signers");
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("lines"); // in this order; @m, @s: the keys' ids
        const QString ok = "Signatur geprüft: Schlüssel ", copied = "Download erfolgreich!",
                      flashed = "Erfolgreich geflasht!", invalid = "Signatur ungültig",
                      unchecked = "Update nicht signiert: Herkunft nicht geprüft",
                      unknown = "Schlüssel @s ist nicht vertrauenswürdig",
                      maker = "--trusted-key @maker";
        auto row = [](const char *name, const char *signers, const QString &arguments, int status,
                      const QStringList &lines) {
            QTest::newRow(name) << QByteArray(signers) << arguments << status << lines;
        };
        row("all signed", "mmm", maker, 0,
            {ok + "@m", "Verfügbare Firmwareversion: V2.20", ok + "@m", copied, ok + "@m",
             flashed});
        row("signed by minisign", "mff", maker + " --trusted-key @fixture", 0,
            {ok + "9A3F29138DB9FC0A", copied, ok + "9A3F29138DB9FC0A", flashed});
        row("version file by an unknown key", "smm", maker, 1, {unknown});
        row("image by an unknown key, the copy stays", "mms", maker, 1, {copied, unknown});
        row("image changed after signing", "mmt", maker, 1, {copied, invalid});
        row("trusted comment edited", "mmc", maker, 1, {copied, invalid});
        row("signed for another version", "mom", maker, 1,
            {"Signatur gilt für V2.19, nicht V2.20"});
        row("garbled signature", "xmm", maker, 1, {invalid});
        row("signature fails to download", "mm5", maker, 1,
            {copied, "Download fehlgeschlagen", "Grund: HTTP 500"});
        row("unsigned", "---", "", 0, {unchecked, flashed});
        row("unsigned, required", "---", maker + " --require-signature", 1,
            {"Update nicht signiert"});
        row("image unsigned, key saved", "mm-", "--save-trusted-key @maker", 1,
            {ok + "@m", copied, "Update nicht signiert"});
        row("no key trusted", "mmm", "", 0,
            {"Signatur nicht prüfbar: kein vertrauenswürdiger Schlüssel", unchecked, flashed});
        row("malformed key file", "mmm", maker + " --trusted-key @bad", 2,
            {"iveva-flasher: Schlüsseldatei \"@bad\" ist kein öffentlicher minisign-Schlüssel"});
    }

    // Only a run that ends with 0 programs; none leaves a helper file; the copy stays only when
    // it passed; nothing is fetched after a failed check, nor at all with a bad key file.
    void update()
    {
        QFETCH(QByteArray, signers);
        QFETCH(QString, arguments);
        QFETCH(int, status);
        QFETCH(QStringList, lines);
        SimulatedPorts ports;
        sim::GaugeSimulator &gauge = ports.add(5, sim::GaugeOptions{.resetDelay = 50ms});
        QTemporaryDir dir;
        Signer makerKey, stranger;
        const QString fixture = QFINDTESTDATA("../fuzz/corpus/fixture/fixture.pub").chopped(4);
        const QString pub = writeBytes(dir.filePath("maker.pub"), makerKey.pub());

        TestHttpServer server;
        QStringList requested;
        server.onRequest = [&requested](const QString &path) { requested.append(path); };
        const QByteArray image = signers[2] == 'f' ? readBytes(fixture + ".bin") : filePattern(300);
        const QList<std::pair<QString, QByteArray>> files = {
            {"/DEVAZ/firmware.txt", "V2.20,/files/new.bin,new.bin"},
            {"/files/new.bin", image},
            {"/DEVAZ/lastfw.bin", image}};
        for (int i = 0; i < 3; ++i) {
            const auto &[path, body] = files[i];
            const char signer = signers[i];
            server.route(path).body = signer == 't' ? body + "!" : body;
            TestHttpServer::Route &signature = server.route(path + ".minisig");
            signature.body = signer == 'f'   ? readBytes(fixture + ".bin.minisig")
                             : signer == 'x' ? "untrusted comment: s\nkaputt\n"
                             : signer == 's' ? stranger.sign(body, "version=V2.20")
                             : signer == 'o' ? makerKey.sign(body, "build=7 version=V2.19")
                                             : makerKey.sign(body, "version=V2.20 build=7");
            if (signer == 'c')
                signature.body.replace("build=7", "build=8");
            signature.status = signer == '-' ? 404 : signer == '5' ? 500 : 200;
        }
        const auto resolve = [&](QString text) {
            return text.replace("@maker", pub)
                .replace("@fixture", fixture + ".pub")
                .replace("@bad", QFINDTESTDATA("../fuzz/corpus/key-short.bad"))
                .replace("@m", MinisignKeyIdText(makerKey.id))
                .replace("@s", MinisignKeyIdText(stranger.id));
        };
        QStringList given = {"--update", "--yes",    "--port",       "5",
                             "--copy",   dir.path(), "--update-url", server.baseUrl().toString()};
        for (const QString &argument : arguments.split(' ', Qt::SkipEmptyParts))
            given.append(resolve(argument));
        if (given.contains("--save-trusted-key")) { // saved first, then the update without it
            QCOMPARE(run(given.mid(8)).first, 0);
            given = given.mid(0, 8);
        }
        const auto [exitStatus, printed] = run(given);

        QCOMPARE(exitStatus, status);
        qsizetype at = 0;
        for (const QString &line : lines)
            QVERIFY2((at = printed.indexOf(resolve(line), at)) >= 0,
                     qPrintable(printed.join('\n')));
        QCOMPARE(gauge.waitForImages(1, status == 0 ? 5s : 0s), status == 0);
        QVERIFY(!QFile::exists(
            QDir(UpdateFolder::pick(shell::runsInstalled())).filePath("jdwiii.hzg")));
        QCOMPARE(QFile::exists(dir.filePath("new.bin")), printed.contains("Download erfolgreich!"));
        QVERIFY(status == 2 ? requested.isEmpty() : requested.last().endsWith(".minisig"));
    }

private:
    // The exit status and every line printed on stdout and stderr.
    static std::pair<int, QStringList> run(const QStringList &arguments)
    {
        QString out;
        QTextStream stream(&out);
        const int status = runFlasherBatch(arguments, stream, stream);
        stream.flush();
        return {status, out.split('\n', Qt::SkipEmptyParts)};
    }
};

QTEST_GUILESS_MAIN(TestSignedUpdate)
#include "tst_signedupdate.moc"
