#include "flasher/update/ConsoleFirmwareInfoUi.h"

#include <QDir>
#include <QFileInfo>

namespace flasher {

ConsoleFirmwareInfoUi::ConsoleFirmwareInfoUi(QTextStream &out, bool yes, const QString &copyPath)
    : m_out(out), m_yes(yes), m_copyPath(copyPath)
{}

bool ConsoleFirmwareInfoUi::askYesNo(Question question, const QString &prompt, const QString &title)
{
    const bool answer = m_yes || question == Question::SearchOnline;
    m_out << title << ' ' << prompt << ' ' << (answer ? "Ja" : "Nein") << Qt::endl;
    return answer;
}

void ConsoleFirmwareInfoUi::downloadedUnchecked(const QString &sha256Hex)
{
    m_out << "SHA-256: " << sha256Hex << Qt::endl;
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
