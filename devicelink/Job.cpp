#include "devicelink/Job.h"

#include <QPointer>

#include <utility>

namespace devicelink {

JobRunner::JobRunner(QObject *parent) : QObject(parent) {}

JobRunner::~JobRunner()
{
    if (m_thread) {
        cancel();
        m_thread->wait();
        delete m_thread;
    }
}

bool JobRunner::start(std::function<void(const LinkHooks &hooks)> work, std::function<void()> done)
{
    if (m_busy)
        return false;
    if (m_thread) {
        m_thread->wait(); // a job that has posted its end and is leaving its thread
        delete m_thread;
    }
    m_busy = true;
    m_cancel = false;
    // A QThread, not a bare thread: the serial port and the network access need its event
    // dispatcher.
    m_thread = QThread::create([this, work = std::move(work), done = std::move(done)] {
        LinkHooks hooks;
        hooks.log = [this](const QString &text, LinkHooks::LineStyle style) {
            queue({Report::Kind::Line, {text, style != LinkHooks::LineStyle::Listed}});
        };
        hooks.percent = [this](int value) { queue({Report::Kind::Percent, {}, value}); };
        hooks.entryAnswer = [this] { queue({Report::Kind::EntryAnswer}); };
        hooks.cancelled = [this] { return m_cancel.load(); };
        work(hooks);
        post([this, done] {
            m_busy = false;
            if (done)
                done();
            emit finished();
        });
    });
    m_thread->start();
    return true;
}

void JobRunner::cancel()
{
    if (!m_busy)
        return;
    {
        const std::lock_guard lock(m_mutex);
        m_cancel = true;
    }
    m_answered.notify_all();
    emit cancelling();
}

QVariant JobRunner::ask(std::function<void(const Answer &answer)> show, const QVariant &fallback)
{
    quint64 question = 0;
    {
        const std::lock_guard lock(m_mutex);
        if (m_cancel)
            return fallback;
        question = ++m_question;
        m_answer.reset();
    }
    QPointer<JobRunner> self(this);
    post([self, question, show = std::move(show)] {
        // A window that closed meanwhile has answered already: it must not get the dialog.
        if (!self || self->m_cancel)
            return;
        show([self, question](const QVariant &value) {
            if (self)
                self->answer(question, value);
        });
    });
    std::unique_lock lock(m_mutex);
    m_answered.wait(lock, [this] { return m_answer.has_value() || m_cancel; });
    if (m_cancel)
        return fallback;
    return *m_answer;
}

void JobRunner::answer(quint64 question, const QVariant &value)
{
    {
        const std::lock_guard lock(m_mutex);
        if (question != m_question || m_answer)
            return;
        m_answer = value;
    }
    m_answered.notify_all();
}

void JobRunner::post(std::function<void()> call)
{
    queue({Report::Kind::Call, {}, 0, std::move(call)});
}

void JobRunner::queue(Report report)
{
    const std::lock_guard lock(m_reportsMutex);
    m_reports.push_back(std::move(report));
    if (m_deliveryPosted)
        return;
    m_deliveryPosted = true;
    QMetaObject::invokeMethod(this, &JobRunner::deliver, Qt::QueuedConnection);
}

void JobRunner::deliver()
{
    std::vector<Report> reports;
    {
        const std::lock_guard lock(m_reportsMutex);
        reports.swap(m_reports);
        m_deliveryPosted = false;
    }
    // A call may end the window and this runner with it: what is left is dropped then.
    const QPointer<JobRunner> self(this);
    QList<LogLine> batch;
    std::optional<int> lastPercent;
    const auto flush = [&] {
        if (!batch.isEmpty())
            emit lines(std::exchange(batch, {}));
        if (self && lastPercent)
            emit percent(*std::exchange(lastPercent, std::nullopt));
    };
    for (Report &report : reports) {
        if (!self)
            return;
        switch (report.kind) {
        case Report::Kind::Line:
            batch.append(std::move(report.line));
            break;
        case Report::Kind::Percent:
            lastPercent = report.percent;
            break;
        case Report::Kind::EntryAnswer:
            flush();
            if (self)
                emit entryAnswer();
            break;
        case Report::Kind::Call:
            flush();
            if (self)
                report.call();
            break;
        }
    }
    if (self)
        flush();
}

} // namespace devicelink
