#include "shell/ConsoleSink.h"

#include "devicelink/FileKind.h"
#include "devicelink/WireTrace.h"
#include "shell/CommandLine.h"
#include "shell/Interruption.h"
#include "shell/TimedFlush.h"

#include <QDateTime>
#include <QTextStream>

#include <cerrno>
#include <cstring>
#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace shell {

namespace {

QString percentText(int percent)
{
    return QString::number(percent) + QStringLiteral(" %");
}

} // namespace

ConsoleSink::ConsoleSink(QTextStream &out, QTextStream &err, const Options &options)
    : m_out(out), m_err(err), m_options(options)
{
    if (options.batched)
        m_batch = std::make_unique<TimedFlush>(out);
}

ConsoleSink::~ConsoleSink()
{
    finishPercent();
    flush();
    m_err.flush();
}

bool ConsoleSink::appendTo(const QString &path)
{
    if (!devicelink::IsRegularFileOrMissing(path)) {
        logUnwritable(path, QStringLiteral("keine gewöhnliche Datei"));
        return false;
    }
    m_log.setFileName(path);
    // Unbuffered: a write that fails (disk full, size limit) says so at once, with its errno.
    if (!m_log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text |
                    QIODevice::Unbuffered)) {
        logUnwritable(path, m_log.errorString());
        return false;
    }
    return true;
}

void ConsoleSink::logUnwritable(const QString &path, const QString &why)
{
    toStderr(QStringLiteral("Logdatei \"%1\" nicht beschreibbar: %2").arg(path, why));
}

void ConsoleSink::setQuiet(const LineFilter &keep, bool lastLine)
{
    m_quiet = true;
    m_keep = keep;
    m_keepLastLine = lastLine;
    m_options.percentLine = false;
}

void ConsoleSink::print(const QString &line)
{
    m_heldBack.clear();
    write(line);
    logLine(line);
}

void ConsoleSink::printProgress(const QString &line)
{
    if (m_quiet && !(m_keep && m_keep(line))) {
        m_heldBack = line;
        m_lastLine = line;
        logLine(line);
        return;
    }
    print(line);
}

void ConsoleSink::printError(const QString &line)
{
    toStderr(line);
    logLine(line);
    m_lastLine.clear(); // it is on stderr already
}

void ConsoleSink::toStderr(const QString &line)
{
    clearPercent();
    flush();
    m_err << line << Qt::endl;
    redrawPercent();
}

std::shared_ptr<devicelink::WireTrace> ConsoleSink::wireTrace()
{
    return std::make_shared<devicelink::WireTrace>([this](const QString &line) { toStderr(line); });
}

void ConsoleSink::explain(const QString &text)
{
    explainLine(QStringLiteral("Hinweis: ") + text);
}

void ConsoleSink::explainLine(const QString &line)
{
    clearPercent();
    flush();
    m_err << m_options.program << ": " << line << Qt::endl;
    redrawPercent();
    logLine(line);
}

void ConsoleSink::showPercent(int percent)
{
    if (!m_options.percentLine)
        return;
    m_percent = percent;
    m_err << '\r' << percentText(percent) << "\x1b[K" << Qt::flush;
}

void ConsoleSink::finishPercent()
{
    if (m_percent) {
        m_err << Qt::endl;
        m_percent.reset();
    }
}

void ConsoleSink::endOperation()
{
    finishPercent();
    if (m_keepLastLine && !m_heldBack.isEmpty())
        write(m_heldBack);
    m_heldBack.clear();
}

void ConsoleSink::flush()
{
    if (m_batch)
        m_batch->flush();
    else
        m_out.flush();
}

void ConsoleSink::failedWithoutLine()
{
    m_lastLine.clear();
    m_heldBack.clear();
}

int ConsoleSink::finish(int status)
{
    endOperation();
    flush();
    // An interrupted run says so itself.
    if (status == Failure && !m_lastLine.isEmpty() && Interruption::signalNumber() == 0)
        m_err << m_options.program << ": " << m_lastLine << Qt::endl;
    m_lastLine.clear();
    return status;
}

devicelink::LinkHooks ConsoleSink::hooks()
{
    using Style = devicelink::LinkHooks::LineStyle;
    devicelink::LinkHooks hooks;
    hooks.log = [this](const QString &line, Style style) {
        if (style == Style::Hint)
            explainLine(line);
        else
            printProgress(line);
    };
    if (m_options.percentLine)
        hooks.percent = [this](int percent) { showPercent(percent); };
    hooks.cancelled = [] { return Interruption::signalNumber() != 0; };
    return hooks;
}

void ConsoleSink::write(const QString &line)
{
    m_lastLine = line;
    if (m_batch) {
        m_batch->add(line); // a pipe or a file: the percentage is on the terminal, if anywhere
        return;
    }
    clearPercent();
    m_out << line << Qt::endl;
    redrawPercent();
}

void ConsoleSink::logLine(const QString &line)
{
    if (!m_log.isOpen())
        return;
    const QString stamp = QDateTime::currentDateTime()
                              .toOffsetFromUtc(QDateTime::currentDateTime().offsetFromUtc())
                              .toString(Qt::ISODate);
    const QByteArray bytes = (stamp + QLatin1Char(' ') + line + QLatin1Char('\n')).toUtf8();
    errno = 0;
    if (m_log.write(bytes) == bytes.size())
        return;
    // The log is a record of the work, never a reason to stop it: one word, and no more log.
    const QString why =
        errno != 0 ? QString::fromLocal8Bit(std::strerror(errno)) : m_log.errorString();
    m_log.close();
    logUnwritable(m_log.fileName(), why);
}

void ConsoleSink::clearPercent()
{
    if (m_percent)
        m_err << "\r\x1b[K" << Qt::flush;
}

void ConsoleSink::redrawPercent()
{
    if (m_percent)
        m_err << percentText(*m_percent) << Qt::flush;
}

bool isTerminal(std::FILE *stream)
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

} // namespace shell
