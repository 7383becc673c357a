// The runner of the windows' jobs on its own: the order of what a job reports, a question that
// a cancel overtakes, and a runner that one of its posted calls deletes.

#include "devicelink/Job.h"

#include <QPointer>
#include <QTest>

#include <future>

using namespace devicelink;

class TestJobRunner : public QObject
{
    Q_OBJECT

    QStringList m_seen; // what reached the owner's thread, in order

    void record(JobRunner *runner)
    {
        connect(runner, &JobRunner::lines, this, [this](const QList<JobRunner::LogLine> &batch) {
            for (const JobRunner::LogLine &line : batch)
                m_seen << line.text;
        });
        connect(runner, &JobRunner::percent, this, [this](int p) { m_seen << QString::number(p); });
        connect(runner, &JobRunner::finished, this, [this] { m_seen << "end"; });
    }

private slots:
    void init() { m_seen.clear(); }

    // What a job reports while the owner's thread is busy arrives in one go: the lines in order,
    // a posted call and the end in their places, of the percentages only the last. A call that
    // deletes the runner (its window closing) drops everything after it.
    void order_data()
    {
        QTest::addColumn<bool>("deleting");
        QTest::addColumn<QStringList>("seen");
        QTest::newRow("kept") << false << QStringList{"a", "b", "20", "call", "c", "done", "end"};
        QTest::newRow("deleted by its call") << true << QStringList{"a", "b", "20", "call"};
    }
    void order()
    {
        QFETCH(bool, deleting);
        QPointer<JobRunner> runner = new JobRunner(this);
        record(runner);
        std::promise<void> queued;
        runner->start(
            [this, deleting, &queued, jobs = runner.data()](const LinkHooks &hooks) {
                hooks.Add_Item("a");
                hooks.percent(10);
                hooks.percent(20);
                hooks.listLine("b");
                jobs->post([this, deleting, jobs] {
                    m_seen << "call";
                    if (deleting)
                        delete jobs;
                });
                hooks.listLine("c");
                queued.set_value();
            },
            [this] { m_seen << "done"; });
        queued.get_future().wait(); // no event loop turn before everything is queued
        QTRY_VERIFY(!runner || !runner->busy());
        QTEST(m_seen, "seen");
        delete runner;
    }

    // A question whose dialog the owner's thread has not shown yet when the window closes is
    // never shown: the job gets the fallback.
    void questionAfterCancel()
    {
        JobRunner runner;
        bool shown = false;
        std::promise<void> asking;
        QVariant answer;
        runner.start([&](const LinkHooks &) {
            asking.set_value();
            answer = runner.ask([&shown](const JobRunner::Answer &) { shown = true; }, "fallback");
        });
        asking.get_future().wait();
        runner.cancel();
        QTRY_VERIFY(!runner.busy());
        QVERIFY(!shown);
        QCOMPARE(answer, QVariant("fallback"));
    }
};

QTEST_GUILESS_MAIN(TestJobRunner)
#include "tst_jobrunner.moc"
