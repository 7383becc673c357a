#pragma once

#include <QByteArray>
#include <QString>
#include <QTime>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace devicelink {

// What went over the wire, for support: one line per write and per read that brought bytes,
// "12:00:01.234 < 64 56 32 2E 31 36 65" (">" sent, "<" received). The ports of a run report to
// the trace in their link settings, from any thread; the lines reach the sink one at a time.
// Switched off, a report costs one flag test.
class WireTrace
{
public:
    using Sink = std::function<void(const QString &line)>;

    explicit WireTrace(Sink sink, bool enabled = true) : m_sink(std::move(sink)), m_enabled(enabled)
    {}

    bool enabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }

    void sent(const QByteArray &bytes) { record('>', bytes); }
    void received(const QByteArray &bytes) { record('<', bytes); }

    static QString line(const QTime &time, char direction, const QByteArray &bytes);

    // A trace, off at first, that appends its lines to the file at `path` (its folder made when
    // needed). target() names the file.
    static std::shared_ptr<WireTrace> toFile(const QString &path);
    const QString &target() const { return m_target; }

private:
    void record(char direction, const QByteArray &bytes);

    std::mutex m_mutex;
    Sink m_sink;
    std::atomic<bool> m_enabled;
    QString m_target;
};

} // namespace devicelink
