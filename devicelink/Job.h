#pragma once

#include "devicelink/LinkHooks.h"

#include <QObject>
#include <QThread>
#include <QVariant>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace devicelink {

// Runs a window's device operations on a worker thread, one at a time. The operation gets
// hooks whose log lines, percentage and entry answer come out of the signals below, queued to
// the thread that owns the runner and in the order the operation produced them. The owner's
// thread never waits for the operation: a question in the middle of it goes out through ask(),
// and the operation's thread waits for the answer.
class JobRunner : public QObject
{
    Q_OBJECT

public:
    explicit JobRunner(QObject *parent = nullptr);
    // A job still running is cancelled and waited for.
    ~JobRunner() override;

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

signals:
    void line(const QString &text, bool scrolled);
    void percent(int percent);
    void entryAnswer();
    void cancelling(); // cancel() was called: dialogs opened for questions may go
    void finished();

private:
    void answer(quint64 question, const QVariant &value);

    QThread *m_thread = nullptr; // the running job's thread, until it has ended
    bool m_busy = false;
    std::atomic<bool> m_cancel{false};
    std::mutex m_mutex;
    std::condition_variable m_answered;
    quint64 m_question = 0;
    std::optional<QVariant> m_answer;
};

} // namespace devicelink
