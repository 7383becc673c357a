#include "shell/TimedFlush.h"

#include <QTextStream>

namespace shell {

TimedFlush::TimedFlush(QTextStream &stream) : m_stream(stream), m_thread([this] { run(); }) {}

TimedFlush::~TimedFlush()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
    flush();
}

void TimedFlush::add(const QString &line)
{
    bool first = false;
    {
        const std::lock_guard lock(m_mutex);
        first = m_pending.isEmpty();
        if (first)
            m_due = std::chrono::steady_clock::now() + Delay;
        m_pending += line;
        m_pending += QLatin1Char('\n');
    }
    if (first)
        m_wake.notify_one();
}

void TimedFlush::flush()
{
    std::unique_lock lock(m_mutex);
    writePending(lock);
}

void TimedFlush::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        if (m_pending.isEmpty()) {
            m_wake.wait(lock);
            continue;
        }
        if (m_wake.wait_until(lock, m_due) == std::cv_status::timeout) {
            writePending(lock);
            lock.lock();
        }
    }
}

void TimedFlush::writePending(std::unique_lock<std::mutex> &lock)
{
    // The stream's lock is taken before the lines are, so batches leave in the order given.
    lock.unlock();
    const std::lock_guard writing(m_writing);
    lock.lock();
    const QString lines = std::exchange(m_pending, QString());
    lock.unlock();
    if (!lines.isEmpty())
        m_stream << lines << Qt::flush;
}

} // namespace shell
