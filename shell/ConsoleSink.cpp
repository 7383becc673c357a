#include "shell/ConsoleSink.h"

#include "devicelink/FileKind.h"
#include "devicelink/WireTrace.h"

#include <QDateTime>
#include <QTextStream>

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
    if (!m_log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
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
    toStderr(line);
    logLine(line);
}

void ConsoleSink::toStderr(const QString &line)
{
    clearPercent();
    m_out.flush();
    m_err << line << Qt::endl;
    redrawPercent();
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
    return hooks;
}

std::shared_ptr<devicelink::WireTrace> ConsoleSink::wireTrace()
{
    return std::make_shared<devicelink::WireTrace>([this](const QString &line) { toStderr(line); });
}

void ConsoleSink::logLine(const QString &line)
{
    if (!m_log.isOpen())
        return;
    const QString stamp = QDateTime::currentDateTime()
                              .toOffsetFromUtc(QDateTime::currentDateTime().offsetFromUtc())
                              .toString(Qt::ISODate);
    m_log.write((stamp + QLatin1Char(' ') + line + QLatin1Char('\n')).toUtf8());
    m_log.flush();
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
