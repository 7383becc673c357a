#include "flasher/BatchMode.h"

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
#include "flasher/update/VersionQuery.h"
#include "shell/ConsoleSink.h"
#include "shell/Interruption.h"

#include <QRegularExpression>

#include <algorithm>
#include <optional>

namespace flasher {

using namespace devicelink;

namespace BatchMode {

namespace {

const QStringList CommandOptions = {QStringLiteral("firmware"),  QStringLiteral("eeprom"),
                                    QStringLiteral("search"),    QStringLiteral("info"),
                                    QStringLiteral("update"),    QStringLiteral("save-update-url"),
                                    QStringLiteral("list-ports")};
// Commands of the update's signatures.
const QStringList KeyCommandOptions = {UpdateBatch::SaveTrustedKeyOption};
const QList<int> Speeds = {4800, 19200, 38400};
const QString QuietOption = QStringLiteral("quiet");
const QString InstalledLine = QStringLiteral("auf dem Gerät installierte Firmware Version: ");

shell::Program makeProgram()
{
    using shell::Option;
    shell::Program program;
    program.name = QStringLiteral("iveva-flasher");
    program.window = QStringLiteral("DEVAZ update-tool V1.7");
    program.summary = QStringLiteral(
        "DEVAZ update-tool: ohne Befehl startet das Fenster (mit --update-url für diesen "
        "Update-Server). Mit einem der Befehle läuft der Flasher ohne Fenster und schreibt jede "
        "Logzeile auf die Standardausgabe.");
    program.options = {
        {QStringLiteral("firmware"), QStringLiteral("DATEI"),
         QStringLiteral("Firmwaredatei (.bin) hochladen."), true},
        {QStringLiteral("eeprom"), QStringLiteral("DATEI"),
         QStringLiteral("EEPROM-Datei (.eep) hochladen."), true},
        {QStringLiteral("search"), QString(),
         QStringLiteral("Alle verfügbaren Ports nach dem Gerät durchsuchen."), true},
        {QStringLiteral("info"), QString(),
         QStringLiteral("Die auf dem Gerät installierte Firmwareversion abfragen."), true},
        {QStringLiteral("update"), QString(),
         QStringLiteral("Firmwareversion abfragen und online nach einem Update suchen."), true},
        {QStringLiteral("list-ports"), QString(),
         QStringLiteral("Alle vorhandenen Ports mit Zustand, Gerät, Adapter und VID:PID "
                        "auflisten (durch Tabulatoren getrennt)."),
         true},
        {QStringLiteral("save-update-url"), QStringLiteral("URL"),
         QStringLiteral("Adresse des Update-Servers für alle weiteren Aufrufe speichern."), true},
        {QStringLiteral("port"), QStringLiteral("PORT"),
         QStringLiteral("COM-Port: 1..99, COMn, ein Gerätepfad wie /dev/ttyUSB0 oder ein Link "
                        "unter /dev/serial/by-id/ (Vorgabe: der erste verfügbare Port)."),
         true},
        {QStringLiteral("speed"), QStringLiteral("BAUD"),
         QStringLiteral("Geschwindigkeit 4800, 19200 oder 38400 (Vorgabe: 19200)."), true},
        {UpdateBatch::YesOption, QString(),
         QStringLiteral("Mit --update: neue Firmware ohne Rückfrage herunterladen und "
                        "programmieren."),
         true},
        {UpdateBatch::CopyOption, QStringLiteral("PFAD"),
         QStringLiteral("Mit --update: Kopie der neuen Firmware hier speichern (Datei oder "
                        "Ordner)."),
         true},
        {UpdateBatch::TimeoutOption, QStringLiteral("SEKUNDEN"),
         QStringLiteral("Mit --update: Höchstdauer jedes Downloads in Sekunden, 1 bis %1 "
                        "(Vorgabe: %2 s für die Versionsdatei, %3 s für die Firmware).")
             .arg(UpdateBatch::MaxTimeoutSeconds)
             .arg(DownloadLimits().versionFileMs / 1000)
             .arg(DownloadLimits().imageMs / 1000),
         true},
        {UpdateBatch::TrustedKeyOption, QStringLiteral("DATEI"),
         QStringLiteral("Updates mit diesem öffentlichen minisign-Schlüssel (.pub) prüfen; "
                        "mehrfach möglich."),
         false},
        {UpdateBatch::RequireSignatureOption, QString(),
         QStringLiteral("Nur signierte Updates annehmen (immer, wenn ein Schlüssel eingebaut "
                        "oder gespeichert ist)."),
         false},
        {UpdateBatch::SaveTrustedKeyOption, QStringLiteral("DATEI"),
         QStringLiteral("Öffentlichen minisign-Schlüssel für alle weiteren Aufrufe speichern; "
                        "Updates müssen dann signiert sein."),
         true},
        {QStringLiteral("update-url"), QStringLiteral("URL"),
         QStringLiteral("Adresse des Update-Servers (sonst %1, die gespeicherte Einstellung "
                        "oder %2).")
             .arg(QLatin1String(UpdateClient::EnvironmentVariable),
                  QLatin1String(UpdateClient::DefaultBaseUrl)),
         false},
        {QStringLiteral("log"), QStringLiteral("DATEI"),
         QStringLiteral("Jede ausgegebene Zeile mit Zeitstempel an DATEI anhängen."), true},
        {QuietOption, QString(),
         QStringLiteral("Nur das Ergebnis ausgeben: die Schlusszeile eines Uploads, die "
                        "Versionszeilen, die Fundzeile der Suche, die Porttabelle; keine Zeile "
                        "je Block und keine Prozentanzeige. Fehler stehen auf der "
                        "Standardfehlerausgabe, --log erhält weiter jede Zeile."),
         true},
    };
    program.exitStatuses = shell::commonExitStatuses();
    program.exitStatuses.append(
        {shell::NewerFirmware, QStringLiteral("--update ohne --yes: eine neuere Firmware ist "
                                              "verfügbar (0: die installierte ist aktuell)")});
    program.exitStatuses.append(shell::Interruption::exitStatuses());
    return program;
}

using Console = shell::ConsoleSink;

struct Settings
{
    QString command;
    int port = 0;   // 0: the first available one
    QString device; // --port named a device: every open goes to it
    int speed = 19200;
};

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
int exitStatusFor(TransferOutcome outcome)
{
    return outcome == TransferOutcome::Ok ? shell::Success : shell::Failure;
}
int exitStatusFor(SearchOutcome outcome)
{
    return outcome == SearchOutcome::Found ? shell::Success : shell::Failure;
}
int exitStatusFor(VersionQueryOutcome outcome)
{
    return outcome == VersionQueryOutcome::Found ? shell::Success : shell::Failure;
}
int exitStatusFor(FirmwareInfo::Outcome outcome)
{
    return outcome == FirmwareInfo::Outcome::UpToDate ||
                   outcome == FirmwareInfo::Outcome::Programmed
               ? shell::Success
               : shell::Failure;
}

int usageError(QTextStream &err, const QString &message)
{
    return shell::usageError(err, program(), message);
}

// The chosen port, or the first available one as the window selects it. 0 when there is none.
int choosePort(const Settings &settings, SerialPort &port, Console &console)
{
    if (settings.port > 0)
        return settings.port;
    const AvailablePorts ports = ScanAvailablePorts(port, LinkHooks());
    ReportScanProblems(ports, console.hooks());
    if (ports.numbers.isEmpty()) {
        console.printProgress(QStringLiteral("Kein verfügbarer Comport gefunden"));
        console.explain(LinkHints::noPort());
        return 0;
    }
    return ports.numbers.first();
}

int runUpload(UploadKind kind, const QString &path, const Settings &settings, SerialPort &port,
              Console &console)
{
    const int comNumber = choosePort(settings, port, console);
    if (comNumber == 0)
        return shell::Failure;
    const UploadRequest request{kind, PortDisplayEntry(comNumber), settings.speed, path};
    const TransferOutcome outcome = RunUploadCommand(port, request, console.hooks());
    if (outcome == TransferOutcome::NoHandshake)
        console.failedWithoutLine();
    return exitStatusFor(outcome);
}

int runSearch(const Settings &settings, SerialPort &port, Console &console)
{
    const AvailablePorts ports = ScanAvailablePorts(port, LinkHooks());
    ReportScanProblems(ports, console.hooks());
    QByteArray receiveText;
    const SearchResult result =
        SearchDevice(port, ports.numbers, settings.speed, SearchVariant::flasher(), receiveText,
                     console.hooks());
    if (ports.numbers.isEmpty())
        console.failedWithoutLine(); // "Gerät suchen..." is no failure: the hint says it
    return exitStatusFor(result.outcome);
}

// The firmware information command's version query on the chosen port: the version line(s).
int runInfo(const Settings &settings, SerialPort &port, Console &console)
{
    const int comNumber = choosePort(settings, port, console);
    if (comNumber == 0)
        return shell::Failure;
    QByteArray receiveText;
    const InstalledVersion installed =
        QueryInstalledVersion(port, comNumber, settings.speed, receiveText, console.hooks());
    port.close();
    return exitStatusFor(installed.outcome);
}

// The firmware information command with the online update, answered from the command line.
int runUpdate(UpdateBatchOptions options, const QString &updateUrl, const Settings &settings,
              SerialPort &port, Console &console)
{
    options.updateUrl = updateUrl;
    options.comNumber = choosePort(settings, port, console);
    if (options.comNumber == 0)
        return shell::Failure;
    options.baudRate = settings.speed;
    // The questions, answered from the options, are lines of the operation.
    const FirmwareInfo::Outcome outcome =
        UpdateBatch::run(options, port, console.hooks(), [&console](const QString &line) {
            console.printProgress(line);
            console.flush();
        });
    console.endOperation();
    // Without --yes the download question is answered No: a newer firmware was found.
    if (outcome == FirmwareInfo::Outcome::Declined && !options.yes)
        return shell::NewerFirmware;
    return exitStatusFor(outcome);
}

int saveUpdateUrl(const QString &text, Console &console, QTextStream &err)
{
    const QUrl url = UpdateClient::baseUrlFromText(text);
    if (!url.isValid())
        return usageError(err,
                          QStringLiteral("\"%1\" ist keine http- oder https-Adresse")
                              .arg(printable(QUrl(text).toDisplayString(QUrl::RemovePassword))));
    if (const QString why = UpdateClient::saveBaseUrl(text); !why.isEmpty()) {
        console.printError(QStringLiteral("Update-Server nicht gespeichert: ") + printable(why));
        return shell::Failure;
    }
    console.print(QStringLiteral("Update-Server gespeichert: ") +
                  printable(url.toDisplayString(QUrl::RemovePassword)));
    return shell::Success;
}

// What --quiet leaves on the standard output besides the port table and the messages.
void setQuiet(const QString &command, Console &console)
{
    const auto startsWith = [](const QStringList &starts) {
        return [starts](const QString &line) {
            return std::any_of(starts.cbegin(), starts.cend(),
                               [&line](const QString &start) { return line.startsWith(start); });
        };
    };
    if (command == QLatin1String("info"))
        console.setQuiet(startsWith({InstalledLine}), false);
    else if (command == QLatin1String("search"))
        console.setQuiet(
            [](const QString &line) {
                static const QRegularExpression found(
                    QStringLiteral("^Port \\d+ Gerät gefunden!$"));
                return found.match(line).hasMatch();
            },
            false);
    else if (command == QLatin1String("update"))
        console.setQuiet(startsWith({InstalledLine, QStringLiteral("Verfügbare Firmwareversion: "),
                                     QStringLiteral("SHA-256: ")}),
                         true);
    else // the uploads and the rest: their result line
        console.setQuiet({}, true);
}

// Keeps the key of a ".pub" file for every later update; from then on updates must be signed.
int saveTrustedKey(const QString &path, Console &console, QTextStream &err)
{
    QString error;
    const std::optional<MinisignKey> key = TrustedKeys::readFile(path, &error);
    if (!key)
        return usageError(err, error);
    if (const QString why = TrustedKeys::save(*key); !why.isEmpty()) {
        console.printError(QStringLiteral("Schlüssel nicht gespeichert: ") + printable(why));
        return shell::Failure;
    }
    console.print(QStringLiteral("Vertrauenswürdiger Schlüssel gespeichert: ") + key->idText());
    return shell::Success;
}

// The command the options name; its exit status.
int runCommand(const QString &file, const QString &updateUrl,
               const std::optional<UpdateBatchOptions> &updateOptions, const Settings &settings,
               SerialPort &anyPort, Console &console, QTextStream &err)
{
    if (settings.command == QLatin1String("list-ports"))
        return listPorts(anyPort, console);
    std::optional<devicelink::PinnedPort> pinned;
    SerialPort &port =
        settings.device.isEmpty() ? anyPort : pinned.emplace(anyPort, settings.device);
    if (settings.command == QLatin1String("firmware"))
        return runUpload(UploadKind::Firmware, file, settings, port, console);
    if (settings.command == QLatin1String("eeprom"))
        return runUpload(UploadKind::Eeprom, file, settings, port, console);
    if (settings.command == QLatin1String("search"))
        return runSearch(settings, anyPort, console); // searches every port, never one device
    if (settings.command == QLatin1String("update"))
        return runUpdate(*updateOptions, updateUrl, settings, port, console);
    if (settings.command == QLatin1String("save-update-url"))
        return saveUpdateUrl(file, console, err);
    if (settings.command == UpdateBatch::SaveTrustedKeyOption)
        return saveTrustedKey(file, console, err);
    return runInfo(settings, port, console);
}

} // namespace

const shell::Program &program()
{
    static const shell::Program flasher = makeProgram();
    return flasher;
}

int Run(const shell::CommandLine &commandLine, const shell::RunContext &context,
        SerialPort &anyPort, QTextStream &out, QTextStream &err, bool percentLine, bool batched)
{
    if (const std::optional<int> status =
            shell::answerCommonOptions(program(), commandLine, out, err))
        return *status;

    Settings settings;
    for (const QString &command : CommandOptions + KeyCommandOptions) {
        if (!commandLine.isSet(command))
            continue;
        if (!settings.command.isEmpty())
            return usageError(err, QStringLiteral("nur ein Befehl auf einmal"));
        settings.command = command;
    }
    if (settings.command.isEmpty())
        return usageError(
            err, QStringLiteral("ein Befehl fehlt: --firmware, --eeprom, --search, --info, "
                                "--update oder --list-ports"));
    if (commandLine.isSet(QStringLiteral("port"))) {
        const PortArgument given =
            parsePortArgument(commandLine.value(QStringLiteral("port")), context.link.portDir);
        if (!given.isValid())
            return usageError(err, given.error);
        settings.device = given.device;
        settings.port = given.numberForOpen();
    }
    // The window offers each upload only for its kind of file; a firmware sent into the EEPROM
    // or an image file into the firmware area would leave a gauge that no longer starts.
    const QString file = commandLine.value(settings.command);
    if (settings.command == QLatin1String("firmware") && !FitsFirmwareUpload(file))
        return usageError(err,
                          QStringLiteral("--firmware erwartet eine Datei mit der Endung .bin"));
    if (settings.command == QLatin1String("eeprom") && !FitsEepromUpload(file))
        return usageError(err, QStringLiteral("--eeprom erwartet eine Datei mit der Endung .eep"));
    if (commandLine.isSet(QStringLiteral("speed"))) {
        bool speedOk = false;
        settings.speed = commandLine.value(QStringLiteral("speed")).toInt(&speedOk);
        if (!speedOk || !Speeds.contains(settings.speed))
            return usageError(err, QStringLiteral("--speed erwartet 4800, 19200 oder 38400"));
    }

    std::optional<UpdateBatchOptions> updateOptions;
    if (settings.command == QLatin1String("update")) {
        QString error;
        updateOptions = UpdateBatch::readOptions(commandLine, &error);
        if (!updateOptions)
            return usageError(err, error);
    }

    Console console(out, err, {program().name, percentLine, batched});
    if (commandLine.isSet(QStringLiteral("log"))) {
        QString why;
        const QString logPath = commandLine.value(QStringLiteral("log"));
        if (!console.appendTo(logPath, &why)) {
            console.printError(
                QStringLiteral("Logdatei \"%1\" nicht beschreibbar: %2").arg(logPath, why));
            return shell::Failure;
        }
    }
    if (const QString hint = LinkHints::missingPortDir(context.link.portDir); !hint.isEmpty())
        console.explain(hint);
    if (commandLine.isSet(QuietOption))
        setQuiet(settings.command, console);
    return console.finish(
        runCommand(file, context.updateUrl, updateOptions, settings, anyPort, console, err));
}

} // namespace BatchMode

} // namespace flasher
