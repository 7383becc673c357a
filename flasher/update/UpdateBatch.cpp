#include "flasher/update/UpdateBatch.h"

#include "flasher/update/ConsoleFirmwareInfoUi.h"
#include "flasher/update/FirmwareInfo.h"
#include "flasher/update/UpdateClient.h"

#include <QFileInfo>

namespace flasher {

using namespace devicelink;

namespace UpdateBatch {

FirmwareInfo::Outcome run(const UpdateBatchOptions &options, SerialPort &port,
                          const LinkHooks &hooks, const ConsoleFirmwareInfoUi::Print &print)
{
    const QUrl base = UpdateClient::baseUrlFromText(options.updateUrl);
    const QString &folder = options.downloadFolder;
    QString problem = FirmwareInfo::startProblem(base, folder);
    // A copy path that names a file is checked before anything is fetched; a folder's is once
    // the server has proposed the name.
    if (problem.isEmpty() && !options.copyPath.isEmpty() && !QFileInfo(options.copyPath).isDir())
        problem = FirmwareInfo::copyTargetProblem(options.copyPath);
    if (!problem.isEmpty()) {
        print(problem);
        return FirmwareInfo::Outcome::Failed;
    }

    UpdateClient client(base, options.limits);
    ConsoleFirmwareInfoUi ui(print, options.yes, options.copyPath);
    return FirmwareInfo(port, client, ui, hooks, options.signatures)
        .run(options.comNumber, options.baudRate, folder);
}

} // namespace UpdateBatch

} // namespace flasher
