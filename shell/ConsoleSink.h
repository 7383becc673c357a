#pragma once

#include "devicelink/LinkHooks.h"

#include <QFile>
#include <QString>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

class QTextStream;

namespace devicelink {
class WireTrace;
}

namespace shell {

class TimedFlush;

// Where a batch run's lines go: log lines to the standard output, messages and explanations
// ("Hinweis: ...") to the standard error, the percentage as one updating line on a terminal,
// and with --log every line once more into the log file, each with its time. A failed run
// repeats its last line on the standard error, so that `2>/dev/null`'s opposite still tells.
class ConsoleSink
{
public:
    struct Options
    {
        QString program;          // "iveva-flasher", before the lines repeated on stderr
        bool percentLine = false; // stderr is a terminal: show the percentage there
        bool batched = false;     // stdout is a pipe or file: write it in batches
    };
    using LineFilter = std::function<bool(const QString &line)>;

    ConsoleSink(QTextStream &out, QTextStream &err, const Options &options);
    ~ConsoleSink();
    ConsoleSink(const ConsoleSink &) = delete;
    ConsoleSink &operator=(const ConsoleSink &) = delete;

    // Appends to `path` from now on. False, after saying why on the standard error, when it
    // cannot: a path that is no regular file (a FIFO would block the run) or a file that cannot
    // be opened.
    bool appendTo(const QString &path);

    // --quiet: an operation's lines go only into the log file, except those `keep` picks and,
    // with `lastLine`, the last line of each operation (its result); no percentage.
    void setQuiet(const LineFilter &keep, bool lastLine);

    // A result (a table row, a setting): on the standard output, --quiet or not.
    void print(const QString &line);
    // A line of a running operation: on the standard output unless --quiet holds it back.
    void printProgress(const QString &line);
    void printError(const QString &line);
    // "Hinweis: <text>" on the standard error: what the log lines do not say.
    void explain(const QString &text);
    void showPercent(int percent);
    // Ends the percentage line, so the next output starts on a line of its own.
    void finishPercent();
    // An operation has ended: with --quiet, its last line goes out now if it was held back.
    void endOperation();
    // Writes what the standard output holds back (before a question, at the end).
    void flush();
    // The operation failed without a failure line of its own (the log stops at its last
    // step): the explanation it gave says what happened, and its last line is not repeated.
    void failedWithoutLine();
    // Ends the run with `status`. A failure repeats the last line on the standard error as
    // "<program>: <line>".
    int finish(int status);

    // Hooks for a device operation: its log lines, its explanations and (on a terminal) its
    // percentage.
    devicelink::LinkHooks hooks();
    // A trace of the bytes on the wire (--trace) to the standard error, not into the log file.
    std::shared_ptr<devicelink::WireTrace> wireTrace();

private:
    void write(const QString &line);
    void toStderr(const QString &line);
    void explainLine(const QString &line);
    void logLine(const QString &line);
    // "Logdatei ... nicht beschreibbar: <why>" on the standard error.
    void logUnwritable(const QString &path, const QString &why);
    void clearPercent();
    void redrawPercent();

    QTextStream &m_out;
    QTextStream &m_err;
    Options m_options;
    std::unique_ptr<TimedFlush> m_batch;
    std::optional<int> m_percent;
    QFile m_log;
    bool m_quiet = false;
    LineFilter m_keep;
    bool m_keepLastLine = false;
    QString m_heldBack; // the operation's last line, not written because of --quiet
    QString m_lastLine; // what a failure repeats on stderr; empty after an error message
};

// True when `stream` (stdout, stderr) is a terminal rather than a pipe or a file.
bool isTerminal(std::FILE *stream);

} // namespace shell
