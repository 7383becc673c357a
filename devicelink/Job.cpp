#include "devicelink/Job.h"

#include <QPointer>

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
            emit line(text, style == LinkHooks::LineStyle::Scrolled);
        };
        hooks.percent = [this](int value) { emit percent(value); };
        hooks.entryAnswer = [this] { emit entryAnswer(); };
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
    QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

} // namespace devicelink
