#pragma once

#include <QString>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

class QTextStream;

namespace shell {

// Lines for a stream that goes to a pipe or a file, written in batches by a thread of its own:
// a line goes out at most 100 ms after it was given, so the writer (a transfer in full swing)
// never waits for the stream, and whoever reads the pipe wakes ten times a second, not twice
// per block.
class TimedFlush
{
public:
    static constexpr std::chrono::milliseconds Delay{100};

    explicit TimedFlush(QTextStream &stream);
    // Writes what is left.
    ~TimedFlush();
    TimedFlush(const TimedFlush &) = delete;
    TimedFlush &operator=(const TimedFlush &) = delete;

    void add(const QString &line);
    // Writes every line given so far, now.
    void flush();

private:
    void run();
    // Takes the waiting lines and writes them; called with m_mutex held, which it releases.
    void writePending(std::unique_lock<std::mutex> &lock);

    QTextStream &m_stream;
    std::mutex m_writing; // the stream: one writer at a time, in order
    std::mutex m_mutex;   // the lines below
    std::condition_variable m_wake;
    QString m_pending;
    std::chrono::steady_clock::time_point m_due;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace shell
