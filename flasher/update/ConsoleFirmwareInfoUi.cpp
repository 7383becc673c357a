#include "flasher/update/ConsoleFirmwareInfoUi.h"

#include <QDir>
#include <QFileInfo>

namespace flasher {

ConsoleFirmwareInfoUi::ConsoleFirmwareInfoUi(Print print, bool yes, const QString &copyPath)
    : m_print(std::move(print)), m_yes(yes), m_copyPath(copyPath)
{}

bool ConsoleFirmwareInfoUi::askYesNo(Question question, const QString &prompt, const QString &title)
{
    const bool answer = m_yes || question == Question::SearchOnline;
    m_print(title + QLatin1Char(' ') + prompt + QLatin1Char(' ') +
            (answer ? QStringLiteral("Ja") : QStringLiteral("Nein")));
    return answer;
}

void ConsoleFirmwareInfoUi::downloadedUnchecked(const QString &sha256Hex)
{
    m_print(QStringLiteral("SHA-256: ") + sha256Hex);
}

QString ConsoleFirmwareInfoUi::chooseCopyTarget(const QString &presetName)
{
    if (!QFileInfo(m_copyPath).isDir())
        return m_copyPath;
    if (presetName.isEmpty())
        return QString();
    return QDir(m_copyPath).filePath(presetName);
}

} // namespace flasher
