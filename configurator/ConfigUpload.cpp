#include "configurator/ConfigUpload.h"

#include "devicelink/BootloaderTransfer.h"
#include "devicelink/ComPortNames.h"
#include "devicelink/FlashImage.h"
#include "devicelink/LinkTexts.h"

#include <QFileInfo>

namespace configurator {

using namespace devicelink;

namespace ConfigUpload {

int portNumberFromText(const QString &text)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok || n < ComPortNames::FirstCom || n > ComPortNames::LastCom)
        return 0;
    return n;
}

TransferOutcome run(SerialPort &port, const QString &portText, const QString &imagePath,
                    const LinkHooks &hooks)
{
    // Both checks come before the port is touched, so a wrong port or a missing file never
    // leaves the log saying that the port failed.
    const int comNumber = portNumberFromText(portText);
    if (comNumber == 0) {
        hooks.Add_Item(
            QStringLiteral("Kein gültiger Com-Port gewählt – bitte unter Kommunikation wählen"));
        return TransferOutcome::NoPort;
    }
    FlashImage image;
    if (!LoadImageFile(imagePath, image)) {
        hooks.Add_Item(QStringLiteral("Datei %1 nicht lesbar – nichts hochgeladen")
                           .arg(printable(QFileInfo(imagePath).fileName())));
        return TransferOutcome::FileUnreadable;
    }

    if (!OpenPortForTransfer(port, comNumber, ConfigurationBaudRate, hooks))
        return TransferOutcome::PortOpenFailed;

    const TransferOutcome outcome =
        UploadImage(port, image, TransferVariant::configuration(), hooks);
    // A port that fails during the transfer also ends with the open-failure line, as every
    // port failure of this upload does.
    if (outcome == TransferOutcome::PortLost)
        hooks.Add_Item(LinkTexts::openFailed());
    return outcome;
}

} // namespace ConfigUpload

} // namespace configurator
