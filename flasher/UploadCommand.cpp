#include "flasher/UploadCommand.h"

#include "devicelink/FlashImage.h"
#include "devicelink/LinkTexts.h"
#include "devicelink/PortScan.h"
#include "flasher/FlasherTexts.h"

namespace flasher {

using namespace devicelink;

TransferVariant VariantFor(UploadKind kind)
{
    return kind == UploadKind::Firmware ? TransferVariant::firmware() : TransferVariant::eeprom();
}

QString PercentText(int percent)
{
    return QString::number(percent) + QStringLiteral(" %");
}

UploadOutcome RunUploadCommand(SerialPort &port, const UploadRequest &request,
                               const LinkHooks &hooks,
                               const std::function<void()> &transferStarting)
{
    const int comNumber = PortNumberFromEntry(request.portEntry);
    if (comNumber < 1) {
        hooks.Add_Item(LinkTexts::noPortChosen());
        return UploadOutcome::NoPort;
    }
    if (!OpenPortForTransfer(port, comNumber, request.baudRate, hooks))
        return UploadOutcome::OpenFailed;

    if (!FileExists(request.path)) {
        hooks.Add_Item(FlasherTexts::fileMissing(request.path));
        port.close();
        return UploadOutcome::FileMissing;
    }
    // A file that cannot be read must not send the image of an earlier upload instead.
    FlashImage image;
    if (!LoadImageFile(request.path, image)) {
        hooks.Add_Item(FlasherTexts::fileUnreadable(request.path));
        port.close();
        return UploadOutcome::FileUnreadable;
    }
    if (transferStarting)
        transferStarting();
    return UploadImage(port, image, VariantFor(request.kind), hooks) ? UploadOutcome::Succeeded
                                                                     : UploadOutcome::Failed;
}

} // namespace flasher
