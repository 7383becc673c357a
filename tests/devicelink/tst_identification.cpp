#include "ScriptedPort.h"
#include "devicelink/Identification.h"
#include "devicelink/LinkHints.h"

#include <QTest>

using namespace devicelink;

namespace {

using Found = QList<QPair<int, QString>>; // port, version

struct Search
{
    QStringList log;
    Found announced;

    SearchResult run(ScriptedPort &port, const QList<int> &ports, bool flasher)
    {
        LinkHooks hooks;
        hooks.log = [this](const QString &line, LinkHooks::LineStyle style) {
            QCOMPARE(style == LinkHooks::LineStyle::Hint, line.startsWith("Hinweis: "));
            log.append(line);
        };
        return SearchDevice(port, ports, 19200,
                            flasher ? SearchVariant::flasher() : SearchVariant::configurator(),
                            hooks, [this](int n, const QString &version) {
                                announced.append({n, version});
                            });
    }
};

} // namespace

class TestIdentification : public QObject
{
    Q_OBJECT

private slots:
    void searches_data()
    {
        QTest::addColumn<bool>("flasher");
        QTest::addColumn<QList<int>>("ports");
        QTest::addColumn<QList<QByteArray>>("answer"); // from the last port, one poll apart
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QStringList>("log");
        const QList<QByteArray> v216{"dV2.16e"};
        const QString start = "Gerät suchen...",
                      installed = "auf dem Gerät installierte Firmware Version: ";
        const QStringList on2{start, "Port 2 Gerät gefunden!", installed + "V2.16"};
        const QString noAnswer = "Hinweis: " + LinkHints::noAnswer(1);
        const QString noPort = "Hinweis: " + LinkHints::noPort();
        const QStringList notOn2{start, "Port 2 Gerät nicht gefunden", noAnswer};
        using P = QList<QByteArray>;
        const auto row = [](const char *tag, bool flasher, const QList<int> &ports, const P &answer,
                            int index, const char *version, const QStringList &log) {
            QTest::newRow(tag) << flasher << ports << answer << index << QString(version) << log;
        };
        row("configurator, third of three ports, skips the V", false, {3, 5, 7}, v216, 2, "2.16",
            {});
        row("flasher, third of three ports, keeps the V", true, {3, 5, 7}, v216, 2, "V2.16",
            {start, "Port 3 Gerät nicht gefunden", "Port 5 Gerät nicht gefunden",
             "Port 7 Gerät gefunden!", installed + "V2.16"});
        row("split over reads", true, {2}, {"x", "dV2", ".1", "6e"}, 0, "V2.16", on2);
        row("noise before the d", true, {2}, {QByteArray("\x7F\0zz", 4), "dV2.16e"}, 0, "V2.16",
            on2);
        row("d arrives after an e", true, {2}, {"xe", "dV2.16", "e"}, 0, "V2.16", on2);
        row("answer ends early", true, {2}, {"dV2e"}, 0, "V2e",
            {start, "Port 2 Gerät gefunden!", installed + "V2e"});
        row("e without d reads on", true, {2}, {"abe"}, -1, "", notOn2);
        row("text without e", true, {2}, {"dV2.16"}, -1, "", notOn2);
        row("configurator, no answer", false, {4}, {}, -1, "", {noAnswer});
        row("configurator, no ports", false, {}, v216, -1, "", {noPort});
        row("flasher, no ports", true, {}, v216, -1, "", {start, noPort});
    }

    void searches()
    {
        QFETCH(QList<int>, ports);
        QFETCH(QList<QByteArray>, answer);
        QFETCH(int, index);
        QFETCH(QString, version);
        ScriptedPort port;
        port.onWrite = [gauge = ports.value(ports.size() - 1), answer](ScriptedPort &p,
                                                                       const QByteArray &) {
            for (int i = 0; p.currentPort() == gauge && i < answer.size(); ++i)
                p.answerAfter(10 + 10 * i, answer[i]);
        };
        Search search;
        QFETCH(bool, flasher);
        const SearchResult result = search.run(port, ports, flasher);

        const bool found = index >= 0;
        QCOMPARE(result.found(), found);
        QCOMPARE(result.index, index);
        QCOMPARE(result.version, version);
        QTEST(search.log, "log");
        QCOMPARE(search.announced, (found ? Found{{ports.last(), version}} : Found()));
        QCOMPARE(port.openedPorts(), ports);
        QVERIFY(!port.isOpen());
        // The configurator asks twice and waits 10,000 polls a port, the flasher once and 100,000.
        QCOMPARE(port.written(), QByteArray(ports.size() * (flasher ? 1 : 2), 'd'));
        QCOMPARE(port.writes().size(), port.written().size());
        if (!found)
            QCOMPARE(port.pollsDone(), ports.size() * (flasher ? 100'000 : 10'000));
    }

    void lostPortStopsTheSearch()
    {
        ScriptedPort port;
        port.onWrite = [](ScriptedPort &p, const QByteArray &) { p.loseAfter(50); };
        QVERIFY(Search().run(port, {1, 2}, true).failure == LinkFailure::PortLost);
        QCOMPARE(port.openedPorts(), QList<int>({1}));
        QVERIFY(!port.isOpen());
    }
};

QTEST_GUILESS_MAIN(TestIdentification)
#include "tst_identification.moc"
