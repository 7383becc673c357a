#include "configurator/core/ConfigImage.h"

#include "configurator/core/ConfigLog.h"
#include "configurator/core/InPlaceFile.h"
#include "configurator/core/ValueTable.h"
#include "devicelink/FileKind.h"

#include <QFile>

namespace configurator {

using S = ConfigSettings;

namespace {

// Image offsets.
namespace Off {
enum : int
{
    DelayLo = 0,
    DelayHi = 1,
    EgtLo = 2,
    EgtHi = 3,
    Boost = 4,
    LambdaBelow = 5,
    LambdaAbove = 6,
    FourthShown = 7,
    SwitchToMeasured = 8,
    NoLeanWarning = 9,
    Vacuum = 10,
    Contrast = 11,
    FourthContent = 12,
    Start = 13,
    AnalogLambda0 = 14,
    AnalogLambda1 = 15,
    AnalogVoltage0 = 16,
    AnalogVoltage1 = 17,
    ConverterLo = 18,
    ConverterHi = 19,
};
}

// The fourth position's check box is stored as 2 (hidden) or 3 (shown).
constexpr quint8 kFourthHidden = 2;
constexpr quint8 kFourthShown = 3;

int code(const S &settings, S::Setting setting)
{
    return ValueTable::codeAt(setting, settings.value(setting));
}

void putWord(ConfigImage &image, int offset, int value)
{
    image[offset] = quint8(value & 0xff);
    image[offset + 1] = quint8((value >> 8) & 0xff);
}

// Lambda bytes hold the lambda times 100; the list index is that minus the first entry's
// value. For the warnings, 0 means off (index 0).
int lambdaWarnIndex(quint8 byte)
{
    return byte == 0 ? 0 : byte - 64;
}

// The list index of a code, for the few lists whose codes are not derived from the index.
int contrastIndex(quint8 byte)
{
    const auto &entries = ValueTable::entries(S::Contrast);
    for (int i = 0; i < entries.size(); ++i) {
        if (entries.at(i).code == byte)
            return i;
    }
    return -1;
}

int delayIndex(qint16 milliseconds)
{
    // Nearest entry of 25 ms steps; a non-positive word means no delay. No ties are possible
    // for whole milliseconds.
    return milliseconds > 0 ? (milliseconds + 12) / 25 : 0;
}

} // namespace

ConfigImage BuildConfigImage(const ConfigSettings &settings)
{
    ConfigImage image{};
    putWord(image, Off::DelayLo, code(settings, S::DisplayDelay));
    putWord(image, Off::EgtLo, code(settings, S::EgtWarn));
    image[Off::Boost] = quint8(code(settings, S::BoostWarn));
    image[Off::LambdaBelow] = quint8(code(settings, S::LambdaWarnBelow));
    image[Off::LambdaAbove] = quint8(code(settings, S::LambdaWarnAbove));
    image[Off::FourthShown] =
        settings.value(S::FourthPositionShown) == S::Checked ? kFourthShown : kFourthHidden;
    image[Off::SwitchToMeasured] = quint8(settings.value(S::SwitchToMeasuredValue));
    image[Off::NoLeanWarning] = quint8(settings.value(S::NoLeanWarningUnderVacuum));
    image[Off::Vacuum] = quint8(code(settings, S::VacuumThreshold));
    image[Off::Contrast] = quint8(code(settings, S::Contrast));
    image[Off::FourthContent] = quint8(code(settings, S::FourthPositionContent));
    image[Off::Start] = quint8(code(settings, S::StartValue));
    image[Off::AnalogLambda0] = quint8(code(settings, S::AnalogLambda0));
    image[Off::AnalogLambda1] = quint8(code(settings, S::AnalogLambda1));
    image[Off::AnalogVoltage0] = quint8(code(settings, S::AnalogVoltage0));
    image[Off::AnalogVoltage1] = quint8(code(settings, S::AnalogVoltage1));
    putWord(image, Off::ConverterLo, settings.value(S::AnalogConverterFitted));
    // Offset 20 stays 0.
    return image;
}

bool WriteConfigImageFile(const QString &path, const ConfigSettings &settings, QString *reason)
{
    const ConfigImage image = BuildConfigImage(settings);
    qCDebug(configLog) << "writing image" << path;
    return WriteInPlace(
        path, QByteArray(reinterpret_cast<const char *>(image.data()), image.size()), reason);
}

void ApplyConfigImage(const QString &path, ConfigSettings &settings)
{
    QFile file(path);
    if (!devicelink::IsRegularFileOrMissing(path) || !file.open(QIODevice::ReadOnly)) {
        qCDebug(configLog) << "image not opened:" << path;
        return;
    }
    // One byte past the limit tells a file that is too large without reading all of it.
    const QByteArray data = file.read(ConfigImageFileLimit + 1);
    const bool readFailed = file.error() != QFileDevice::NoError;
    file.close();
    if (readFailed || data.size() > ConfigImageFileLimit)
        return;

    ConfigImage image{};
    for (int i = 0; i < qMin(int(data.size()), ConfigImageSize); ++i)
        image[i] = quint8(data.at(i));

    // Each step either applies its field or ends the reading; the order is the file's contract.
    const auto apply = [&settings](S::Setting setting, int value) {
        return settings.setValue(setting, value);
    };

    if (!apply(S::LambdaWarnBelow, lambdaWarnIndex(image[Off::LambdaBelow])))
        return;
    if (!apply(S::LambdaWarnAbove, lambdaWarnIndex(image[Off::LambdaAbove])))
        return;
    if (!apply(S::DisplayDelay, delayIndex(MakeWord04(image[Off::DelayLo], image[Off::DelayHi]))))
        return;
    if (!apply(S::EgtWarn, MakeWord04(image[Off::EgtLo], image[Off::EgtHi])))
        return;
    if (!apply(S::BoostWarn, image[Off::Boost]))
        return;
    // Anything but 2 or 3 leaves the check box as it is.
    if (image[Off::FourthShown] == kFourthHidden)
        settings.setValue(S::FourthPositionShown, S::Unchecked);
    else if (image[Off::FourthShown] == kFourthShown)
        settings.setValue(S::FourthPositionShown, S::Checked);
    if (!apply(S::SwitchToMeasuredValue, image[Off::SwitchToMeasured]))
        return;
    if (!apply(S::NoLeanWarningUnderVacuum, image[Off::NoLeanWarning]))
        return;
    if (!apply(S::VacuumThreshold, image[Off::Vacuum]))
        return;
    // An unknown contrast code leaves the contrast as it is and the reading goes on.
    if (const int index = contrastIndex(image[Off::Contrast]); index >= 0)
        settings.setValue(S::Contrast, index);
    if (!apply(S::FourthPositionContent, image[Off::FourthContent]))
        return;
    if (!apply(S::StartValue, image[Off::Start]))
        return;
    // The analog output, so that a saved file opens to exactly what was saved.
    if (!apply(S::AnalogLambda0, image[Off::AnalogLambda0] - 65))
        return;
    if (!apply(S::AnalogLambda1, image[Off::AnalogLambda1] - 65))
        return;
    if (!apply(S::AnalogVoltage0, image[Off::AnalogVoltage0]))
        return;
    if (!apply(S::AnalogVoltage1, image[Off::AnalogVoltage1]))
        return;
    apply(S::AnalogConverterFitted, MakeWord04(image[Off::ConverterLo], image[Off::ConverterHi]));
}

qint16 MakeWord04(quint8 LoByte, quint8 HiByte)
{
    return qint16(quint16(LoByte | (HiByte << 8)));
}

} // namespace configurator
