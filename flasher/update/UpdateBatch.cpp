#include "flasher/update/UpdateBatch.h"

#include "flasher/update/ConsoleFirmwareInfoUi.h"
#include "flasher/update/FirmwareInfo.h"
#include "flasher/update/UpdateClient.h"
#include "flasher/update/UpdateFolder.h"

#include <QFileInfo>

namespace flasher {

using namespace devicelink;

namespace UpdateBatch {

std::optional<UpdateBatchOptions> readOptions(const shell::CommandLine &commandLine, QString *error)
{
    UpdateBatchOptions options;
    options.yes = commandLine.isSet(YesOption);
    options.copyPath = commandLine.value(CopyOption);
    if (commandLine.isSet(TimeoutOption)) {
        bool ok = false;
        const int seconds = commandLine.value(TimeoutOption).toInt(&ok);
        if (!ok || seconds < 1 || seconds > MaxTimeoutSeconds) {
            *error = QStringLiteral("--download-timeout erwartet Sekunden von 1 bis %1")
                         .arg(MaxTimeoutSeconds);
            return std::nullopt;
        }
        options.limits.versionFileMs = options.limits.imageMs = seconds * 1000;
    }
    std::optional<SignaturePolicy> signatures = readSignaturePolicy(commandLine, error);
    if (!signatures)
        return std::nullopt;
    options.signatures = std::move(*signatures);
    return options;
}

std::optional<SignaturePolicy> readSignaturePolicy(const shell::CommandLine &commandLine,
                                                   QString *error)
{
    SignaturePolicy policy;
    const TrustedKeys builtIn = TrustedKeys::builtIn();
    const TrustedKeys saved = TrustedKeys::saved();
    policy.required =
        !builtIn.isEmpty() || !saved.isEmpty() || commandLine.isSet(RequireSignatureOption);
    policy.keys.add(builtIn);
    policy.keys.add(saved);
    for (const QString &path : commandLine.values(TrustedKeyOption)) {
        const std::optional<MinisignKey> key = TrustedKeys::readFile(path, error);
        if (!key)
            return std::nullopt;
        policy.keys.add(*key);
    }
    return policy;
}

FirmwareInfo::Outcome run(const UpdateBatchOptions &options, SerialPort &port,
                          const LinkHooks &hooks, const ConsoleFirmwareInfoUi::Print &print)
{
    const QUrl base = UpdateClient::baseUrlFromText(options.updateUrl);
    const QString folder =
        options.downloadFolder.isEmpty() ? UpdateFolder::pick() : options.downloadFolder;
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
    QByteArray receiveText;
    return FirmwareInfo(port, client, ui, hooks, options.signatures)
        .run(options.comNumber, options.baudRate, receiveText, folder);
}

} // namespace UpdateBatch

} // namespace flasher
