#include "flasher/UploadCommand.h"

#include "devicelink/FlashImage.h"
#include "devicelink/LinkTexts.h"
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

UploadCommandState StateWhileTransferring(UploadKind kind)
{
    UploadCommandState state{false, std::nullopt, false, true};
    if (kind == UploadKind::Eeprom)
        state.eepromUpload = false;
    return state;
}

UploadCommandState StateAfterUpload(UploadKind kind, TransferOutcome outcome)
{
    const bool firmware = kind == UploadKind::Firmware;
    if (outcome == TransferResult::FileMissing || outcome == TransferResult::FileEmpty) {
        UploadCommandState state{false};
        if (!firmware)
            state.eepromUpload = false;
        state.fileMissing = outcome == TransferResult::FileMissing;
        return state;
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
    if (request.comNumber < 1) {
        hooks.Add_Item(LinkTexts::noPortChosen());
        return LinkFailure::NoPort;
    }
    if (!OpenPortForTransfer(port, request.comNumber, request.baudRate, hooks))
        return {LinkFailure::OpenFailed, port.openError()};

    // A hidden file counts as missing, though it could be read.
    const LoadedImage loaded = FileExists(request.path) ? LoadImageFile(request.path)
                                                        : LoadedImage{{}, ImageProblem::Missing, 0};
    if (!loaded.sendable()) {
        switch (*loaded.problem) {
        case ImageProblem::Missing:
            hooks.Add_Item(FlasherTexts::fileMissing(request.path));
            break;
        case ImageProblem::TooLarge:
            hooks.Add_Item(LinkTexts::imageTooLarge(ImageBlockCount(loaded.fileSize)));
            break;
        case ImageProblem::Empty:
            // It would go out as one block of zeros and "succeed": nothing is sent at all.
            hooks.Add_Item(FlasherTexts::fileEmpty(request.path));
            break;
        case ImageProblem::Unreadable:
            // Must not send the image of an earlier upload instead. (Asked before emptiness: a
            // file the system cannot read may claim to be empty, too.)
            hooks.Add_Item(FlasherTexts::fileUnreadable(request.path));
        }
        port.close();
        return RefusedFile(*loaded.problem);
    }
    if (transferStarting)
        transferStarting();
    return UploadImage(port, loaded.image, VariantFor(request.kind), hooks);
}

} // namespace flasher
