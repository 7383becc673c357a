#pragma once

#include "devicelink/LinkHooks.h"

#include <QList>
#include <QObject>
#include <QThread>
#include <QVariant>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace devicelink {

// Runs a window's device operations on a worker thread, one at a time. The operation gets
// hooks whose log lines, percentage and entry answer come out of the signals below, on the
// thread that owns the runner and in the order the operation produced them. The owner's
// thread never waits for the operation: a question in the middle of it goes out through ask(),
// and the operation's thread waits for the answer.
//
// What the operation reports while the owner's thread is busy is collected and delivered in
// one go at the owner's next event loop turn: every line, in order, as one batch; of several
// percentages only the last. Calls posted by the operation (and its end) keep their place
// between the lines.
class JobRunner : public QObject
{
    Q_OBJECT

public:
    explicit JobRunner(QObject *parent = nullptr);
    // A job still running is cancelled and waited for (see shutDown()).
    ~JobRunner() override;

    // For the owner's destructor, before the members a job may reach go: cancels the running
    // job and waits until its thread has ended. What it reported and its `done` are dropped, and
    // the runner starts nothing more. Jobs themselves hold values or guarded pointers to their
    // window, never the window's `this`: `done` and posted calls run on the owner's thread, and
    // only while this runner lives.
    void shutDown();

    // Starts `work` on a new thread; `done` runs on the owner's thread once it has returned,
    // right before finished(). False, and nothing started, while another job runs.
    bool start(std::function<void(const LinkHooks &hooks)> work, std::function<void()> done = {});

    // The same, for work with a result that `done` receives.
    template <typename Result>
    bool start(std::function<Result(const LinkHooks &hooks)> work, std::function<void(Result)> done)
    {
        auto result = std::make_shared<Result>();
        return start([work, result](const LinkHooks &hooks) { *result = work(hooks); },
                     [done, result] { done(*result); });
    }

    bool busy() const { return m_busy; }

    // Raises the running job's cancel flag; an open question is answered with its fallback.
    void cancel();

    // Called from the job's thread. Runs `show` on the owner's thread with a function that
    // answers the question (it may be called later, from a dialog, at most once counts), and
    // waits for the answer. Returns `fallback` when the job is or gets cancelled first.
    using Answer = std::function<void(const QVariant &answer)>;
    QVariant ask(std::function<void(const Answer &answer)> show, const QVariant &fallback);

    // Called from the job's thread: runs `call` on the owner's thread, in order with the log.
    void post(std::function<void()> call);

    struct LogLine
    {
        QString text;
        bool scrolled = false; // through Add_Item: the list scrolls to it
    };

signals:
    // The lines reported since the last batch, oldest first; never empty.
    void lines(const QList<devicelink::JobRunner::LogLine> &batch);
    void percent(int percent);
    void entryAnswer();
    void cancelling(); // cancel() was called: dialogs opened for questions may go
    void finished();

private:
    // One report of the running job, waiting for the owner's thread.
    struct Report
    {
        enum class Kind
        {
            Line,
            Percent,
            EntryAnswer,
            Call
        } kind;
        LogLine line;
        int percent = 0;
        std::function<void()> call;
    };

    void answer(quint64 question, const QVariant &value);
    // From any thread: queues a report; the first one after a delivery asks for the next.
    void queue(Report report);
    // On the owner's thread: hands out what has been queued so far.
    void deliver();

    QThread *m_thread = nullptr; // the running job's thread, until it has ended
    bool m_busy = false;
    bool m_shutDown = false;
    std::atomic<bool> m_cancel{false};
    std::mutex m_mutex;
    std::condition_variable m_answered;
    quint64 m_question = 0;
    std::optional<QVariant> m_answer;
    std::mutex m_reportsMutex;
    std::vector<Report> m_reports;
    bool m_deliveryPosted = false;
};

} // namespace devicelink
