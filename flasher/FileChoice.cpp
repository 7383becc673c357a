#include "flasher/FileChoice.h"

#include "devicelink/FlashImage.h"
#include "flasher/FlasherTexts.h"

#include <QFileInfo>

namespace flasher {

using namespace devicelink;

QString FileTypeOf(const QString &fileName)
{
    return fileName.right(3).toUpper();
}

FileChoice ChooseFile(const QString &fileName)
{
    FileChoice choice;
    const QString title = fileName.isEmpty() ? QString() : QFileInfo(fileName).fileName();
    choice.exists = FileExists(fileName);
    if (!choice.exists) {
        choice.fieldText = FlasherTexts::fileMissingField();
        choice.logLine = FlasherTexts::fileMissing(title);
        return choice;
    }
    choice.fieldText = fileName;
    choice.logLine = FlasherTexts::fileLoaded(title);
    const QString type = FileTypeOf(fileName);
    choice.firmwareUsable = type == QLatin1String("BIN");
    choice.eepromUsable = type == QLatin1String("EEP");
    return choice;
}

} // namespace flasher
