#include "devicelink/WireTrace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace devicelink {

QString WireTrace::line(const QTime &time, char direction, const QByteArray &bytes)
{
    return time.toString(QStringLiteral("HH:mm:ss.zzz")) + QLatin1Char(' ') +
           QLatin1Char(direction) + QLatin1Char(' ') +
           QString::fromLatin1(bytes.toHex(' ').toUpper());
}

void WireTrace::record(char direction, const QByteArray &bytes)
{
    if (!m_enabled || bytes.isEmpty())
        return;
    const QString text = line(QTime::currentTime(), direction, bytes);
    const std::lock_guard lock(m_mutex);
    m_sink(text);
}

std::shared_ptr<WireTrace> WireTrace::toFile(const QString &path)
{
    auto file = std::make_shared<QFile>(path);
    auto trace = std::make_shared<WireTrace>(
        [file](const QString &line) {
            if (!file->isOpen()) {
                QDir().mkpath(QFileInfo(*file).absolutePath());
                if (!file->open(QIODevice::Append | QIODevice::Text))
                    return; // the user finds no file where the log said it would be
            }
            file->write((line + QLatin1Char('\n')).toUtf8());
            file->flush();
        },
        false);
    trace->m_target = path;
    return trace;
}

} // namespace devicelink
