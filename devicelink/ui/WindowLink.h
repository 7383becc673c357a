#pragma once

#include "devicelink/Job.h"
#include "devicelink/LinkHooks.h"

#include <QList>
#include <QObject>
#include <QPointer>

class QDialog;
class QListWidget;
class QWidget;

namespace devicelink {

// Ties a window to its device operations: they run as jobs on a worker thread, one at a time;
// their log lines go to the window's list; a second command on the busy port is refused; and
// closing the window cancels the running job, answers an open question with No, and closes
// the window once the job has ended.
class WindowLink : public QObject
{
    Q_OBJECT

public:
    WindowLink(QWidget *window, QListWidget *logList);

    // Starts a job; false, with the busy line in the log, while another one runs.
    template <typename Result>
    bool start(std::function<Result(const LinkHooks &hooks)> work, std::function<void(Result)> done)
    {
        if (!m_jobs->busy())
            return m_jobs->start(std::move(work), std::move(done));
        refuse();
        return false;
    }

    devicelink::JobRunner &jobs() const { return *m_jobs; }

    // Opens a dialog that a question (JobRunner::ask()) shows, so that closing the window takes
    // it away and the job gets the question's fallback.
    void openQuestion(QDialog *dialog);

    // Appends a line without scrolling.
    void listLine(const QString &line) const;
    // Appends a job's lines at once, scrolling as each of them asks.
    void appendLines(const QList<devicelink::JobRunner::LogLine> &batch) const;

    bool busy() const { return m_jobs->busy(); }
    // The window waits for its job to end so that it can close.
    bool closing() const { return m_closeRequested; }
    // For the window's close event: true when it may close now. Otherwise the running job is
    // cancelled and the window closes by itself once it has ended.
    bool mayClose();
    // For the window's destructor: see JobRunner::shutDown().
    void shutDown() { m_jobs->shutDown(); }

signals:
    // A job has ended (after its own completion) and the window stays open.
    void idle();

private:
    void refuse() const;
    void jobFinished();

    QPointer<QWidget> m_window;
    QPointer<QListWidget> m_logList;
    devicelink::JobRunner *m_jobs;
    QList<QPointer<QDialog>> m_questions;
    bool m_closeRequested = false;
};

} // namespace devicelink
