// The runner of the windows' jobs on its own: the order of what a job reports, a question that
// a cancel overtakes, and a runner that one of its posted calls deletes.

#include "devicelink/Job.h"

#include <QPointer>
#include <QTest>

#include <future>

using namespace devicelink;

namespace {

// Records what reaches the owner's thread, in order.
void recordInto(JobRunner &runner, QStringList &seen)
{
    QObject::connect(&runner, &JobRunner::lines, [&seen](const QList<JobRunner::LogLine> &batch) {
        for (const JobRunner::LogLine &line : batch)
            seen << line.text;
    });
    QObject::connect(&runner, &JobRunner::percent,
                     [&seen](int percent) { seen << QString::number(percent); });
    QObject::connect(&runner, &JobRunner::finished, [&seen] { seen << "end"; });
}

} // namespace

class TestJobRunner : public QObject
{
    Q_OBJECT

private slots:
    // Everything reported while the owner's thread is busy arrives in one go: the lines in
    // order, a posted call and the end in their places, of the percentages only the last.
    void order()
    {
        JobRunner runner;
        QStringList seen;
        recordInto(runner, seen);
        std::promise<void> queued;
        runner.start(
            [&runner, &seen, &queued](const LinkHooks &hooks) {
                hooks.Add_Item("a");
                hooks.percent(10);
                hooks.percent(20);
                hooks.listLine("b");
                runner.post([&seen] { seen << "call"; });
                hooks.listLine("c");
                queued.set_value();
            },
            [&seen] { seen << "done"; });
        queued.get_future().wait(); // no event loop turn before everything is queued
        QTRY_VERIFY(!runner.busy());
        QCOMPARE(seen, QStringList({"a", "b", "20", "call", "c", "done", "end"}));
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

    // A posted call that ends the window (and its runner) drops what the job reported after it.
    void deletedByPostedCall()
    {
        QPointer<JobRunner> runner = new JobRunner;
        QStringList seen;
        recordInto(*runner, seen);
        std::promise<void> queued;
        runner->start([&, jobs = runner.data()](const LinkHooks &hooks) {
            hooks.listLine("before");
            jobs->post([jobs] { delete jobs; });
            hooks.listLine("after");
            hooks.percent(50);
            queued.set_value();
        });
        queued.get_future().wait();
        QTRY_VERIFY(!runner);
        QCOMPARE(seen, QStringList{"before"});
    }
};

QTEST_GUILESS_MAIN(TestJobRunner)
#include "tst_jobrunner.moc"
