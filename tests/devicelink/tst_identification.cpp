#include "ScriptedPort.h"
#include "devicelink/Identification.h"

#include <QTest>

using namespace devicelink;

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
    void searches_data()
    {
        QTest::addColumn<bool>("flasher");
        QTest::addColumn<QList<int>>("ports");
        QTest::addColumn<QList<QByteArray>>("answer"); // from the last port, one poll apart
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QStringList>("log");
        const QList<QByteArray> v216{"dV2.16e"};
        const QString found = "auf dem Gerät installierte Firmware Version: V2.16";
        QTest::newRow("configurator, third of three ports, skips the V")
            << false << QList<int>{3, 5, 7} << v216 << 2 << "2.16" << QStringList();
        QTest::newRow("flasher, third of three ports, keeps the V")
            << true << QList<int>{3, 5, 7} << v216 << 2 << "V2.16"
            << QStringList{"Gerät suchen...", "Port 3 Gerät nicht gefunden",
                           "Port 5 Gerät nicht gefunden", "Port 7 Gerät gefunden!", found};
        QTest::newRow("split over reads")
            << true << QList<int>{2} << QList<QByteArray>{"x", "dV2", ".1", "6e"} << 0 << "V2.16"
            << QStringList{"Gerät suchen...", "Port 2 Gerät gefunden!", found};
        QTest::newRow("noise before the d")
            << true << QList<int>{2} << QList<QByteArray>{"\x7F\x00zz", "dV2.16e"} << 0 << "V2.16"
            << QStringList{"Gerät suchen...", "Port 2 Gerät gefunden!", found};
        QTest::newRow("d arrives after an e")
            << true << QList<int>{2} << QList<QByteArray>{"xe", "dV2.16", "e"} << 0 << "V2.16"
            << QStringList{"Gerät suchen...", "Port 2 Gerät gefunden!", found};
        QTest::newRow("answer ends early")
            << true << QList<int>{2} << QList<QByteArray>{"dV2e"} << 0 << "V2e"
            << QStringList{"Gerät suchen...", "Port 2 Gerät gefunden!",
                           "auf dem Gerät installierte Firmware Version: V2e"};
        QTest::newRow("e without d reads on")
            << true << QList<int>{2} << QList<QByteArray>{"abe"} << -1 << ""
            << QStringList{"Gerät suchen...", "Port 2 Gerät nicht gefunden"};
        QTest::newRow("text without e")
            << true << QList<int>{2} << QList<QByteArray>{"dV2.16"} << -1 << ""
            << QStringList{"Gerät suchen...", "Port 2 Gerät nicht gefunden"};
        QTest::newRow("configurator, no ports")
            << false << QList<int>() << v216 << -1 << "" << QStringList();
        QTest::newRow("flasher, no ports")
            << true << QList<int>() << v216 << -1 << "" << QStringList{"Gerät suchen..."};
    }

    void searches()
    {
        QFETCH(bool, flasher);
        QFETCH(QList<int>, ports);
        QFETCH(QList<QByteArray>, answer);
        QFETCH(int, index);
        QFETCH(QString, version);
        QFETCH(QStringList, log);
        ScriptedPort port;
        answerOn(port, ports.isEmpty() ? 0 : ports.last(), answer);
        Search search;

        const SearchResult result = search.run(
            port, ports, flasher ? SearchVariant::flasher() : SearchVariant::configurator());

        const bool found = index >= 0;
        QCOMPARE(result.outcome, found ? SearchOutcome::Found : SearchOutcome::NotFound);
        QCOMPARE(result.index, index);
        QCOMPARE(result.version, version);
        QCOMPARE(search.log, log);
        using Found = QList<QPair<int, QString>>;
        QCOMPARE(search.announced, (found ? Found{{ports.last(), version}} : Found()));
        QVERIFY(!found || search.receiveText.isEmpty()); // a find leaves no answer behind
        QCOMPARE(port.openedPorts(), ports);
        QVERIFY(!port.isOpen());
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

        QCOMPARE(result.outcome, SearchOutcome::NotFound);
        QCOMPARE(port.written(), requests);
        QCOMPARE(port.writes().size(), requests.size()); // one write per "d"
        QCOMPARE(port.pollsDone(), budget);
        QVERIFY(!port.isOpen());
    }

    void lostPortStopsTheSearch()
    {
        ScriptedPort port;
        port.onWrite = [](ScriptedPort &p, const QByteArray &) { p.loseAfter(50); };
        Search search;

        const SearchResult result = search.run(port, {1, 2}, SearchVariant::flasher());

        QCOMPARE(result.outcome, SearchOutcome::PortLost);
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
