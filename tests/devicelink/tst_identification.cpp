#include "Identification.h"
#include "ScriptedPort.h"

#include <QTest>

namespace {

struct Search
{
    QStringList log;
    QList<QPair<int, QString>> announced;
    QByteArray receiveText = "stale";
    LinkHooks hooks;

    Search()
    {
        hooks.log = [this](const QString &line, LinkHooks::LineStyle style) {
            QVERIFY(style == LinkHooks::LineStyle::Listed);
            log.append(line);
        };
    }

    SearchResult run(ScriptedPort &port, const QList<int> &ports, const SearchVariant &variant)
    {
        return SearchDevice(port, ports, 19200, variant, receiveText, hooks,
                            [this](int n, const QString &version) {
                                announced.append({n, version});
                            });
    }
};

// The gauge on `gaugePort` answers each request with these pieces, one poll apart.
void answerOn(ScriptedPort &port, int gaugePort, const QList<QByteArray> &pieces)
{
    port.onWrite = [gaugePort, pieces](ScriptedPort &p, const QByteArray &) {
        if (p.currentPort() != gaugePort)
            return;
        for (int i = 0; i < pieces.size(); ++i)
            p.answerAfter(10 + 10 * i, pieces[i]);
    };
}

} // namespace

class TestIdentification : public QObject
{
    Q_OBJECT

private slots:
    void versionCuts_data()
    {
        QTest::addColumn<bool>("flasher");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QStringList>("log");
        QTest::newRow("configurator skips the V") << false << "2.16" << QStringList();
        QTest::newRow("flasher keeps the V")
            << true << "V2.16"
            << QStringList({"Gerät suchen...", "Port 3 Gerät nicht gefunden",
                            "Port 5 Gerät nicht gefunden", "Port 7 Gerät gefunden!",
                            "auf dem Gerät installierte Firmware Version: V2.16"});
    }

    void versionCuts()
    {
        QFETCH(bool, flasher);
        QFETCH(QString, version);
        QFETCH(QStringList, log);
        ScriptedPort port;
        answerOn(port, 7, {"dV2.16e"});
        Search search;

        const SearchVariant variant =
            flasher ? SearchVariant::flasher() : SearchVariant::configurator();
        const SearchResult result = search.run(port, {3, 5, 7}, variant);

        QVERIFY(result.found());
        QCOMPARE(result.index, 2);
        QCOMPARE(result.portNumber, 7);
        QCOMPARE(result.version, version);
        QCOMPARE(search.log, log);
        QCOMPARE(search.announced.size(), 1);
        QCOMPARE(search.announced[0].second, version);
        QVERIFY(search.receiveText.isEmpty());
        QVERIFY(!port.isOpen());
        QCOMPARE(port.openedPorts(), QList<int>({3, 5, 7}));
        QCOMPARE(port.openedSettings().first(), QStringLiteral("19200,n,8,1"));
    }

    void requestsAndBudgets_data()
    {
        QTest::addColumn<bool>("flasher");
        QTest::addColumn<QByteArray>("requests");
        QTest::addColumn<qint64>("budget");
        QTest::newRow("configurator") << false << QByteArray("dd") << qint64(10'000);
        QTest::newRow("flasher") << true << QByteArray("d") << qint64(100'000);
    }

    void requestsAndBudgets()
    {
        QFETCH(bool, flasher);
        QFETCH(QByteArray, requests);
        QFETCH(qint64, budget);
        ScriptedPort port;
        Search search;

        const SearchResult result = search.run(
            port, {4}, flasher ? SearchVariant::flasher() : SearchVariant::configurator());

        QVERIFY(!result.found());
        QCOMPARE(port.written(), requests);
        QCOMPARE(port.writes().size(), requests.size()); // one write per "d"
        QCOMPARE(port.pollsDone(), budget);
        QVERIFY(!port.isOpen());
    }

    void answerPieces_data()
    {
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("version");
        QTest::newRow("split over reads")
            << QList<QByteArray>{"x", "dV2", ".1", "6e"} << true << "V2.16";
        QTest::newRow("noise before the d")
            << QList<QByteArray>{"\x7F\x00zz", "dV3.01e"} << true << "V3.01";
        QTest::newRow("e without d reads on") << QList<QByteArray>{"abe"} << false << "";
        QTest::newRow("d arrives after the e")
            << QList<QByteArray>{"xe", "dV2.16", "e"} << true << "V2.16";
        QTest::newRow("text without e") << QList<QByteArray>{"dV2.16"} << false << "";
        QTest::newRow("answer ends early") << QList<QByteArray>{"dV2e"} << true << "V2e";
    }

    void answerPieces()
    {
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(bool, found);
        QFETCH(QString, version);
        ScriptedPort port;
        answerOn(port, 2, pieces);
        Search search;

        const SearchResult result = search.run(port, {2}, SearchVariant::flasher());

        QCOMPARE(result.found(), found);
        QCOMPARE(result.version, version);
        if (!found)
            QCOMPARE(port.pollsDone(), qint64(100'000));
    }

    void unopenablePortCountsAsNotFound()
    {
        ScriptedPort port;
        port.unopenable = {3};
        answerOn(port, 6, {"dV2.16e"});
        Search search;

        const SearchResult result = search.run(port, {3, 6}, SearchVariant::flasher());

        QCOMPARE(result.portNumber, 6);
        QCOMPARE(search.log.mid(1, 2),
                 QStringList({"Port 3 Gerät nicht gefunden", "Port 6 Gerät gefunden!"}));
    }

    void emptyPortList_data()
    {
        QTest::addColumn<bool>("flasher");
        QTest::addColumn<QStringList>("log");
        QTest::newRow("configurator") << false << QStringList();
        QTest::newRow("flasher") << true << QStringList({"Gerät suchen..."});
    }

    void emptyPortList()
    {
        QFETCH(bool, flasher);
        QFETCH(QStringList, log);
        ScriptedPort port;
        Search search;
        const SearchResult result = search.run(
            port, {}, flasher ? SearchVariant::flasher() : SearchVariant::configurator());
        QVERIFY(!result.found());
        QCOMPARE(search.log, log);
        QVERIFY(port.openedPorts().isEmpty());
    }

    void lostPortStopsTheSearch()
    {
        ScriptedPort port;
        port.onWrite = [](ScriptedPort &p, const QByteArray &) { p.loseAfter(50); };
        Search search;

        const SearchResult result = search.run(port, {1, 2}, SearchVariant::flasher());

        QVERIFY(result.lost);
        QCOMPARE(search.log.last(), QStringLiteral("Verbindung zum Comport verloren"));
        QCOMPARE(port.openedPorts(), QList<int>({1}));
        QVERIFY(!port.isOpen());
    }

    void firmwareInfoRuleStopsAtTheFirstE()
    {
        ScriptedPort port;
        port.open(1, QStringLiteral("19200,n,8,1"));
        port.answerAfter(5, "xe");
        port.answerAfter(9, "dV2.16e");
        LinkHooks hooks;
        Poller poller(port, hooks);
        QByteArray text;

        QCOMPARE(Identification::readAnswer(poller, 1000, text, Identification::AnswerRule::E),
                 Poller::End::Bytes);
        QCOMPARE(text, QByteArray("xe"));
    }
};

QTEST_GUILESS_MAIN(TestIdentification)
#include "tst_identification.moc"
