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

bool FitsFirmwareUpload(const QString &fileName)
{
    return FileTypeOf(fileName) == QLatin1String("BIN");
}

bool FitsEepromUpload(const QString &fileName)
{
    return FileTypeOf(fileName) == QLatin1String("EEP");
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
    choice.firmwareUsable = FitsFirmwareUpload(fileName);
    choice.eepromUsable = FitsEepromUpload(fileName);
    return choice;
}

} // namespace flasher
