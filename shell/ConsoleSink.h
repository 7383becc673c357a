#pragma once

#include "devicelink/LinkHooks.h"

#include <QFile>
#include <QString>
#include <memory>
#include <optional>

class QTextStream;

namespace devicelink {
class WireTrace;
}

namespace shell {

// Where a batch run's lines go: log lines to the standard output, messages to the standard
// error, the percentage as one updating line on a terminal, and with --log every line once
// more into the log file, each with its time.
class ConsoleSink
{
public:
    ConsoleSink(QTextStream &out, QTextStream &err, bool percentLine);
    ~ConsoleSink();
    ConsoleSink(const ConsoleSink &) = delete;
    ConsoleSink &operator=(const ConsoleSink &) = delete;

    // Appends to `path` from now on. False, with the reason, when it cannot: a path that is no
    // regular file (a FIFO would block the run) or a file that cannot be opened.
    bool appendTo(const QString &path, QString *why);

    void print(const QString &line);
    void printError(const QString &line);
    void showPercent(int percent);
    // Ends the percentage line, so the next output starts on a line of its own.
    void finishPercent();

    // Hooks for a device operation: its log lines and (on a terminal) its percentage.
    devicelink::LinkHooks hooks();
    // A trace of the bytes on the wire (--trace) to the standard error, not into the log file.
    std::shared_ptr<devicelink::WireTrace> wireTrace();

private:
    void logLine(const QString &line);
    void toStderr(const QString &line);
    void clearPercent();
    void redrawPercent();

    QTextStream &m_out;
    QTextStream &m_err;
    bool m_percentLine;
    std::optional<int> m_percent;
    QFile m_log;
};

} // namespace shell
