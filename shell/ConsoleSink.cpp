#include "shell/ConsoleSink.h"

#include "devicelink/FileKind.h"
#include "shell/Interruption.h"

#include <QDateTime>
#include <QTextStream>

#include <cerrno>
#include <cstring>

namespace shell {

namespace {

QString percentText(int percent)
{
    return QString::number(percent) + QStringLiteral(" %");
}

} // namespace

ConsoleSink::ConsoleSink(QTextStream &out, QTextStream &err, bool percentLine)
    : m_out(out), m_err(err), m_percentLine(percentLine)
{}

ConsoleSink::~ConsoleSink()
{
    finishPercent();
    m_out.flush();
    m_err.flush();
}

bool ConsoleSink::appendTo(const QString &path, QString *why)
{
    if (!devicelink::IsRegularFileOrMissing(path)) {
        *why = QStringLiteral("keine gewöhnliche Datei");
        return false;
    }
    m_log.setFileName(path);
    // Unbuffered: a write that fails (disk full, size limit) says so at once, with its errno.
    if (!m_log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text |
                    QIODevice::Unbuffered)) {
        *why = m_log.errorString();
        return false;
    }
    return true;
}

void ConsoleSink::print(const QString &line)
{
    clearPercent();
    m_out << line << Qt::endl;
    redrawPercent();
    logLine(line);
}

void ConsoleSink::printError(const QString &line)
{
    clearPercent();
    m_out.flush();
    m_err << line << Qt::endl;
    redrawPercent();
    logLine(line);
}

void ConsoleSink::showPercent(int percent)
{
    if (!m_percentLine)
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

devicelink::LinkHooks ConsoleSink::hooks()
{
    devicelink::LinkHooks hooks;
    hooks.log = [this](const QString &line, devicelink::LinkHooks::LineStyle) { print(line); };
    if (m_percentLine)
        hooks.percent = [this](int percent) { showPercent(percent); };
    hooks.cancelled = [] { return Interruption::signalNumber() != 0; };
    return hooks;
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
    clearPercent();
    m_out.flush();
    m_err << QStringLiteral("Logdatei \"%1\" nicht beschreibbar: %2").arg(m_log.fileName(), why)
          << Qt::endl;
    redrawPercent();
    m_log.close();
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

} // namespace shell
