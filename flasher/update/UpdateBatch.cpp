#include "flasher/update/UpdateBatch.h"

#include "flasher/update/ConsoleFirmwareInfoUi.h"
#include "flasher/update/FirmwareInfo.h"
#include "flasher/update/UpdateClient.h"
#include "flasher/update/UpdateFolder.h"

namespace flasher {

using namespace devicelink;

namespace UpdateBatch {

FirmwareInfo::Outcome run(const UpdateBatchOptions &options, SerialPort &port,
                          const LinkHooks &hooks, const ConsoleFirmwareInfoUi::Print &print)
{
    const QUrl base = UpdateClient::baseUrlFromText(options.updateUrl);
    const QString folder =
        options.downloadFolder.isEmpty() ? UpdateFolder::pick() : options.downloadFolder;
    if (const QString problem = FirmwareInfo::startProblem(base, folder); !problem.isEmpty()) {
        print(problem);
        return FirmwareInfo::Outcome::Failed;
    }

    UpdateClient client(base, options.limits);
    ConsoleFirmwareInfoUi ui(print, options.yes, options.copyPath);
    QByteArray receiveText;
    return FirmwareInfo(port, client, ui, hooks)
        .run(options.comNumber, options.baudRate, receiveText, folder);
}

} // namespace UpdateBatch

} // namespace flasher
