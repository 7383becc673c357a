#include "flasher/BatchMode.h"

#include "devicelink/ComPort.h"
#include "devicelink/Identification.h"
#include "devicelink/LinkHints.h"
#include "devicelink/LinkTexts.h"
#include "devicelink/PortDevices.h"
#include "devicelink/PortScan.h"
#include "devicelink/Printable.h"
#include "flasher/FileChoice.h"
#include "flasher/FlasherTexts.h"
#include "flasher/UploadCommand.h"
#include "flasher/update/TrustedKeys.h"
#include "flasher/update/UpdateBatch.h"
#include "flasher/update/UpdateClient.h"
#include "flasher/update/UpdateFolder.h"
#include "flasher/update/VersionQuery.h"
#include "shell/ConsoleSink.h"
#include "shell/InstalledProgram.h"
#include "shell/Interruption.h"
#include "shell/OptionTable.h"
#include "shell/SavedSettings.h"

#include <QRegularExpression>

#include <algorithm>
#include <optional>

namespace flasher {

using namespace devicelink;

namespace BatchMode {

namespace {

const QList<int> Speeds = {4800, 19200, 38400};
const QString InstalledLine = QStringLiteral("auf dem Gerät installierte Firmware Version: ");

using Console = shell::ConsoleSink;

enum class Option
{
    Firmware,
    Eeprom,
    Search,
    Info,
    Update,
    ListPorts,
    SaveUpdateUrl,
    Port,
    Speed,
    Yes,
    Copy,
    DownloadTimeout,
    TrustedKey,
    RequireSignature,
    SaveTrustedKey,
    UpdateUrl,
    Log,
    Quiet,
    Trace
};

// What the options set for one run, and where it prints.
struct Job
{
    QString portDir;
    int port = 0;   // 0: the first available one
    QString device; // --port named a device: every open goes to it
    int speed = 19200;
    UpdateBatchOptions update;
    std::optional<MinisignKey> keyToSave; // --save-trusted-key
    QString logPath;
    bool quiet = false;
    bool trace = false;

    // Set once every option has been read.
    Console *console = nullptr;
    SerialPort *anyPort = nullptr;    // any COM number
    SerialPort *chosenPort = nullptr; // the port the options chose
    QTextStream *err = nullptr;
};

// Reads --port: "3", "COM3", a device path or a link to one. Empty when it is fine, else the
// usage error.
QString readPort(Job &job, const QString &value)
{
    const PortArgument given = parsePortArgument(value, job.portDir);
    job.device = given.device;
    job.port = given.numberForOpen();
    return given.error;
}

// The window offers each upload only for its kind of file; a firmware sent into the EEPROM or an
// image file into the firmware area would leave a gauge that no longer starts.
QString readFirmwareFile(Job &, const QString &path)
{
    return FitsFirmwareUpload(path)
               ? QString()
               : QStringLiteral("--firmware erwartet eine Datei mit der Endung .bin");
}
QString readEepromFile(Job &, const QString &path)
{
    return FitsEepromUpload(path)
               ? QString()
               : QStringLiteral("--eeprom erwartet eine Datei mit der Endung .eep");
}

QString readSpeed(Job &job, const QString &value)
{
    bool speedOk = false;
    job.speed = value.toInt(&speedOk);
    if (!speedOk || !Speeds.contains(job.speed))
        return QStringLiteral("--speed erwartet 4800, 19200 oder 38400");
    return {};
}

QString readDownloadTimeout(Job &job, const QString &value)
{
    bool ok = false;
    const int seconds = value.toInt(&ok);
    if (!ok || seconds < 1 || seconds > UpdateBatch::MaxTimeoutSeconds)
        return QStringLiteral("--download-timeout erwartet Sekunden von 1 bis %1")
            .arg(UpdateBatch::MaxTimeoutSeconds);
    job.update.limits.versionFileMs = job.update.limits.imageMs = seconds * 1000;
    return {};
}

// --trusted-key: a ".pub" file whose key this run trusts too.
QString readTrustedKey(Job &job, const QString &path)
{
    QString error;
    const std::optional<MinisignKey> key = TrustedKeys::readFile(path, &error);
    if (!key)
        return error;
    job.update.signatures.keys.add(*key);
    return {};
}

QString readKeyToSave(Job &job, const QString &path)
{
    QString error;
    job.keyToSave = TrustedKeys::readFile(path, &error);
    return job.keyToSave ? QString() : error;
}

// One line per existing port: COM name, state, device, adapter, VID:PID, tab-separated.
int listPorts(SerialPort &port, Console &console)
{
    const AvailablePorts ports = ScanAvailablePorts(port, LinkHooks());
    for (const ProbedPort &probe : ports.probed) {
        const QString state = probe.error == SerialPort::OpenError::None
                                  ? QStringLiteral("verfügbar")
                                  : LinkTexts::openErrorText(probe.error);
        // Tabs separate the fields, so none may come from a device or adapter name.
        console.print(QStringList{QStringLiteral("COM%1").arg(probe.number), printable(state),
                                  printable(probe.device), printable(probe.details.description),
                                  probe.details.vidPid()}
                          .join(QLatin1Char('\t')));
    }
    if (ports.probed.isEmpty())
        console.printError(QStringLiteral("Kein serieller Port gefunden"));
    return shell::Success;
}

// Each command's exit status, from the outcome of its operation.
int exitStatusFor(const TransferOutcome &outcome)
{
    return outcome == TransferResult::Sent ? shell::Success : shell::Failure;
}
int exitStatusFor(const SearchResult &result)
{
    return result.found() ? shell::Success : shell::Failure;
}
int exitStatusFor(const InstalledVersion &installed)
{
    return installed.outcome == VersionAnswer::Found ? shell::Success : shell::Failure;
}
int exitStatusFor(FirmwareInfo::Outcome outcome)
{
    switch (outcome) {
    case FirmwareInfo::Outcome::UpToDate:
    case FirmwareInfo::Outcome::Programmed:
        return shell::Success;
    case FirmwareInfo::Outcome::NewerAvailable:
        return shell::NewerFirmware;
    case FirmwareInfo::Outcome::Declined:
    case FirmwareInfo::Outcome::Failed:
        break;
    }
    return shell::Failure;
}

int usageError(QTextStream &err, const QString &message)
{
    return shell::usageError(err, program(), message);
}

// The chosen port, or the first available one as the window selects it. 0 when there is none.
int choosePort(const Job &job)
{
    if (job.port > 0)
        return job.port;
    const AvailablePorts ports = ScanAvailablePorts(*job.chosenPort, LinkHooks());
    ReportScanProblems(ports, job.console->hooks());
    if (ports.numbers.isEmpty()) {
        job.console->printProgress(QStringLiteral("Kein verfügbarer Comport gefunden"));
        job.console->explain(LinkHints::noPort());
        return 0;
    }
    return ports.numbers.first();
}

int runUpload(UploadKind kind, Job &job, const QString &path)
{
    const int comNumber = choosePort(job);
    if (comNumber == 0)
        return shell::Failure;
    const UploadRequest request{kind, comNumber, job.speed, path};
    const TransferOutcome outcome =
        RunUploadCommand(*job.chosenPort, request, job.console->hooks());
    if (outcome == LinkFailure::NoHandshake)
        job.console->failedWithoutLine();
    return exitStatusFor(outcome);
}

// Searches every port, never the one device --port may name.
int runSearch(Job &job, const QString &)
{
    const AvailablePorts ports = ScanAvailablePorts(*job.anyPort, LinkHooks());
    ReportScanProblems(ports, job.console->hooks());
    const SearchResult result = SearchDevice(*job.anyPort, ports.numbers, job.speed,
                                             SearchVariant::flasher(), job.console->hooks());
    if (ports.numbers.isEmpty())
        job.console->failedWithoutLine(); // "Gerät suchen..." is no failure: the hint says it
    return exitStatusFor(result);
}

// The firmware information command's version query on the chosen port: the version line(s).
int runInfo(Job &job, const QString &)
{
    const int comNumber = choosePort(job);
    if (comNumber == 0)
        return shell::Failure;
    const InstalledVersion installed =
        QueryInstalledVersion(*job.chosenPort, comNumber, job.speed, job.console->hooks());
    job.chosenPort->close();
    return exitStatusFor(installed);
}

// The firmware information command with the online update, answered from the command line.
int runUpdate(Job &job, const QString &)
{
    UpdateBatchOptions options = job.update;
    options.comNumber = choosePort(job);
    if (options.comNumber == 0)
        return shell::Failure;
    options.baudRate = job.speed;
    options.downloadFolder = UpdateFolder::pick(shell::runsInstalled());
    Console &console = *job.console;
    // The questions, answered from the options, are lines of the operation.
    const FirmwareInfo::Outcome outcome = UpdateBatch::run(
        options, *job.chosenPort, console.hooks(), [&console](const QString &line) {
            console.printProgress(line);
            console.flush();
        });
    console.endOperation();
    return exitStatusFor(outcome);
}

int saveUpdateUrl(Job &job, const QString &text)
{
    const QUrl url = UpdateClient::baseUrlFromText(text);
    if (!url.isValid())
        return usageError(*job.err,
                          QStringLiteral("\"%1\" ist keine http- oder https-Adresse")
                              .arg(printable(QUrl(text).toDisplayString(QUrl::RemovePassword))));
    // As an address with its scheme, so a password in "user:secret@host" is seen as one.
    if (const QString why =
            shell::saveSetting(QLatin1String(UpdateClient::SettingsKey), url.toString());
        !why.isEmpty()) {
        job.console->printError(QStringLiteral("Update-Server nicht gespeichert: ") +
                                printable(why));
        return shell::Failure;
    }
    job.console->print(QStringLiteral("Update-Server gespeichert: ") +
                       printable(url.toDisplayString(QUrl::RemovePassword)));
    return shell::Success;
}

// What --quiet leaves on the standard output besides the port table and the messages.
void setQuiet(Option command, Console &console)
{
    const auto startsWith = [](const QStringList &starts) {
        return [starts](const QString &line) {
            return std::any_of(starts.cbegin(), starts.cend(),
                               [&line](const QString &start) { return line.startsWith(start); });
        };
    };
    if (command == Option::Info)
        console.setQuiet(startsWith({InstalledLine}), false);
    else if (command == Option::Search)
        console.setQuiet(
            [](const QString &line) {
                static const QRegularExpression found(
                    QStringLiteral("^Port \\d+ Gerät gefunden!$"));
                return found.match(line).hasMatch();
            },
            false);
    else if (command == Option::Update)
        console.setQuiet(startsWith({InstalledLine, QStringLiteral("Verfügbare Firmwareversion: "),
                                     QStringLiteral("SHA-256: ")}),
                         true);
    else // the uploads and the rest: their result line
        console.setQuiet({}, true);
}

// The lines of the keys --save-trusted-key has kept.
QStringList savedKeyLines()
{
    return shell::savedSetting(QLatin1String(TrustedKeys::SettingsKey)).toStringList();
}

int listPortsCommand(Job &job, const QString &)
{
    return listPorts(*job.anyPort, *job.console);
}

// Keeps the key of a ".pub" file for every later update; from then on updates must be signed.
int saveTrustedKey(Job &job, const QString &)
{
    const QStringList lines = TrustedKeys::linesWith(savedKeyLines(), *job.keyToSave);
    if (const QString why = shell::saveSetting(QLatin1String(TrustedKeys::SettingsKey), lines);
        !why.isEmpty()) {
        job.console->printError(QStringLiteral("Schlüssel nicht gespeichert: ") + printable(why));
        return shell::Failure;
    }
    job.console->print(QStringLiteral("Vertrauenswürdiger Schlüssel gespeichert: ") +
                       job.keyToSave->idText());
    return shell::Success;
}

using Table = shell::OptionTable<Option, Job>;

Table makeTable()
{
    shell::Program program;
    program.name = QStringLiteral("iveva-flasher");
    program.window = QStringLiteral("DEVAZ update-tool V1.7");
    program.summary = QStringLiteral(
        "DEVAZ update-tool: ohne Befehl startet das Fenster (mit --update-url für diesen "
        "Update-Server). Mit einem der Befehle läuft der Flasher ohne Fenster und schreibt jede "
        "Logzeile auf die Standardausgabe.");
    program.exitStatuses = shell::commonExitStatuses();
    program.exitStatuses.append(
        {shell::NewerFirmware, QStringLiteral("--update ohne --yes: eine neuere Firmware ist "
                                              "verfügbar (0: die installierte ist aktuell)")});
    program.exitStatuses.append(shell::Interruption::exitStatuses());
    const auto upload = [](UploadKind kind) {
        return [kind](Job &job, const QString &path) { return runUpload(kind, job, path); };
    };
    return Table(
        program,
        {
            {Option::Firmware, QStringLiteral("firmware"), QStringLiteral("DATEI"),
             QStringLiteral("Firmwaredatei (.bin) hochladen."), true, readFirmwareFile,
             upload(UploadKind::Firmware)},
            {Option::Eeprom, QStringLiteral("eeprom"), QStringLiteral("DATEI"),
             QStringLiteral("EEPROM-Datei (.eep) hochladen."), true, readEepromFile,
             upload(UploadKind::Eeprom)},
            {Option::Search,
             QStringLiteral("search"),
             QString(),
             QStringLiteral("Alle verfügbaren Ports nach dem Gerät durchsuchen."),
             true,
             {},
             runSearch},
            {Option::Info,
             QStringLiteral("info"),
             QString(),
             QStringLiteral("Die auf dem Gerät installierte Firmwareversion abfragen."),
             true,
             {},
             runInfo},
            {Option::Update,
             QStringLiteral("update"),
             QString(),
             QStringLiteral("Firmwareversion abfragen und online nach einem Update suchen."),
             true,
             {},
             runUpdate},
            {Option::ListPorts,
             QStringLiteral("list-ports"),
             QString(),
             QStringLiteral("Alle vorhandenen Ports mit Zustand, Gerät, Adapter und VID:PID "
                            "auflisten (durch Tabulatoren getrennt)."),
             true,
             {},
             listPortsCommand},
            {Option::SaveUpdateUrl,
             QStringLiteral("save-update-url"),
             QStringLiteral("URL"),
             QStringLiteral("Adresse des Update-Servers für alle weiteren Aufrufe speichern."),
             true,
             {},
             saveUpdateUrl},
            {Option::Port, QStringLiteral("port"), QStringLiteral("PORT"),
             QStringLiteral("COM-Port: 1..99, COMn, ein Gerätepfad wie /dev/ttyUSB0 oder ein Link "
                            "unter /dev/serial/by-id/ (Vorgabe: der erste verfügbare Port)."),
             true, readPort},
            {Option::Speed, QStringLiteral("speed"), QStringLiteral("BAUD"),
             QStringLiteral("Geschwindigkeit 4800, 19200 oder 38400 (Vorgabe: 19200)."), true,
             readSpeed},
            {Option::Yes, QStringLiteral("yes"), QString(),
             QStringLiteral("Mit --update: neue Firmware ohne Rückfrage herunterladen und "
                            "programmieren."),
             true,
             [](Job &job, const QString &) {
                 job.update.yes = true;
                 return QString();
             }},
            {Option::Copy, QStringLiteral("copy"), QStringLiteral("PFAD"),
             QStringLiteral("Mit --update: Kopie der neuen Firmware hier speichern (Datei oder "
                            "Ordner)."),
             true,
             [](Job &job, const QString &path) {
                 job.update.copyPath = path;
                 return QString();
             }},
            {Option::DownloadTimeout, QStringLiteral("download-timeout"),
             QStringLiteral("SEKUNDEN"),
             QStringLiteral("Mit --update: Höchstdauer jedes Downloads in Sekunden, 1 bis %1 "
                            "(Vorgabe: %2 s für die Versionsdatei, %3 s für die Firmware).")
                 .arg(UpdateBatch::MaxTimeoutSeconds)
                 .arg(DownloadLimits().versionFileMs / 1000)
                 .arg(DownloadLimits().imageMs / 1000),
             true, readDownloadTimeout},
            {Option::TrustedKey, QStringLiteral("trusted-key"), QStringLiteral("DATEI"),
             QStringLiteral("Updates mit diesem öffentlichen minisign-Schlüssel (.pub) prüfen; "
                            "mehrfach möglich."),
             false, readTrustedKey},
            {Option::RequireSignature, QStringLiteral("require-signature"), QString(),
             QStringLiteral("Nur signierte Updates annehmen (immer, wenn ein Schlüssel eingebaut "
                            "oder gespeichert ist)."),
             false,
             [](Job &job, const QString &) {
                 job.update.signatures.required = true;
                 return QString();
             }},
            {Option::SaveTrustedKey, QStringLiteral("save-trusted-key"), QStringLiteral("DATEI"),
             QStringLiteral("Öffentlichen minisign-Schlüssel für alle weiteren Aufrufe speichern; "
                            "Updates müssen dann signiert sein."),
             true, readKeyToSave, saveTrustedKey},
            // main() reads it before the window or the batch run starts.
            {Option::UpdateUrl, QStringLiteral("update-url"), QStringLiteral("URL"),
             QStringLiteral("Adresse des Update-Servers (sonst %1, die gespeicherte Einstellung "
                            "oder %2).")
                 .arg(QLatin1String(UpdateClient::EnvironmentVariable),
                      QLatin1String(UpdateClient::DefaultBaseUrl)),
             false},
            {Option::Log, QStringLiteral("log"), QStringLiteral("DATEI"), shell::LogOptionHelp(),
             true, shell::Keep(&Job::logPath)},
            {Option::Quiet, QStringLiteral("quiet"), QString(),
             QStringLiteral("Nur das Ergebnis ausgeben: die Schlusszeile eines Uploads, die "
                            "Versionszeilen, die Fundzeile der Suche, die Porttabelle; keine Zeile "
                            "je Block und keine Prozentanzeige. Fehler stehen auf der "
                            "Standardfehlerausgabe, --log erhält weiter jede Zeile."),
             true, shell::Set(&Job::quiet)},
            shell::TraceRow(Option::Trace, &Job::trace),
        });
}

const Table &table()
{
    static const Table flasher = makeTable();
    return flasher;
}

} // namespace

const shell::Program &program()
{
    return table().program();
}

QString updateUrlOption(const shell::CommandLine &commandLine)
{
    return commandLine.value(int(Option::UpdateUrl));
}

std::optional<SignaturePolicy> windowSignaturePolicy(const shell::CommandLine &commandLine,
                                                     QString *error)
{
    // Without a command, the options given are the window's: the key options among them.
    Job job;
    job.update.signatures = SignaturePolicy::standing(savedKeyLines());
    *error = table().read(commandLine, job);
    if (!error->isEmpty())
        return std::nullopt;
    return job.update.signatures;
}

int Run(const shell::CommandLine &commandLine, const shell::RunContext &context, QTextStream &out,
        QTextStream &err, bool percentLine, bool batched)
{
    if (const std::optional<int> status =
            shell::answerCommonOptions(program(), commandLine, out, err))
        return *status;

    const auto actions = table().actions(commandLine);
    if (actions.isEmpty())
        return usageError(
            err, QStringLiteral("ein Befehl fehlt: --firmware, --eeprom, --search, --info, "
                                "--update oder --list-ports"));
    const auto *command = actions.first().first;
    for (const auto &action : actions) {
        if (action.first != command)
            return usageError(err, QStringLiteral("nur ein Befehl auf einmal"));
    }
    Job job;
    job.portDir = context.link.portDir;
    job.update.updateUrl = context.updateUrl;
    job.update.signatures = SignaturePolicy::standing(savedKeyLines());
    if (const QString error = table().read(commandLine, job); !error.isEmpty())
        return usageError(err, error);

    Console console(out, err, {program().name, percentLine, batched});
    if (!job.logPath.isEmpty() && !console.appendTo(job.logPath))
        return shell::Failure;
    devicelink::LinkSettings link = context.link;
    if (job.trace)
        link.trace = console.wireTrace();
    ComPort anyPort(link);
    std::optional<devicelink::PinnedPort> pinned;
    job.console = &console;
    job.err = &err;
    job.anyPort = &anyPort;
    job.chosenPort = job.device.isEmpty() ? static_cast<SerialPort *>(&anyPort)
                                          : &pinned.emplace(anyPort, job.device);
    if (const QString hint = LinkHints::missingPortDir(context.link.portDir); !hint.isEmpty())
        console.explain(hint);
    if (job.quiet)
        setQuiet(command->id, console);
    // The value of the last of them, as every option's value is.
    return console.finish(command->handle(job, commandLine.value(int(command->id))));
}

} // namespace BatchMode

} // namespace flasher
