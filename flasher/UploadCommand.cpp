#include "flasher/UploadCommand.h"

#include "devicelink/FlashImage.h"
#include "devicelink/LinkTexts.h"
#include "devicelink/PortScan.h"
#include "flasher/FlasherTexts.h"

#include <QFileInfo>

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

UploadButtons ButtonsWhileTransferring(UploadKind kind)
{
    UploadButtons buttons{false, std::nullopt, false, true};
    if (kind == UploadKind::Eeprom)
        buttons.eeprom = false;
    return buttons;
}

UploadButtons ButtonsAfterUpload(UploadKind kind, TransferOutcome outcome)
{
    const bool firmware = kind == UploadKind::Firmware;
    if (outcome == TransferOutcome::FileMissing || outcome == TransferOutcome::FileEmpty) {
        UploadButtons buttons{false};
        if (!firmware)
            buttons.eeprom = false;
        buttons.fileMissing = outcome == TransferOutcome::FileMissing;
        return buttons;
    }
    if (!TransferRan(outcome))
        return {};
    // Whatever the transfer's ending: the same file can be sent again at once.
    return {firmware, !firmware, true, false};
}

TransferOutcome RunUploadCommand(SerialPort &port, const UploadRequest &request,
                                 const LinkHooks &hooks,
                                 const std::function<void()> &transferStarting)
{
    const int comNumber = PortNumberFromEntry(request.portEntry);
    if (comNumber < 1) {
        hooks.Add_Item(LinkTexts::noPortChosen());
        return TransferOutcome::NoPort;
    }
    if (!OpenPortForTransfer(port, comNumber, request.baudRate, hooks))
        return TransferOutcome::PortOpenFailed;

    if (!FileExists(request.path)) {
        hooks.Add_Item(FlasherTexts::fileMissing(request.path));
        port.close();
        return TransferOutcome::FileMissing;
    }
    // A file that cannot be read must not send the image of an earlier upload instead.
    FlashImage image;
    if (!LoadImageFile(request.path, image)) {
        hooks.Add_Item(FlasherTexts::fileUnreadable(request.path));
        port.close();
        return TransferOutcome::FileUnreadable;
    }
    // An empty file would go out as one block of zeros and "succeed": nothing is sent at all.
    // (Asked after the read: a file the system cannot read may claim to be empty, too.)
    if (QFileInfo(request.path).size() == 0) {
        hooks.Add_Item(FlasherTexts::fileEmpty(request.path));
        port.close();
        return TransferOutcome::FileEmpty;
    }
    if (transferStarting)
        transferStarting();
    return UploadImage(port, image, VariantFor(request.kind), hooks);
}

} // namespace flasher
