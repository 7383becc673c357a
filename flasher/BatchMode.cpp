#include "flasher/BatchMode.h"

#include "devicelink/Identification.h"
#include "devicelink/LinkTexts.h"
#include "devicelink/PortDevices.h"
#include "devicelink/PortScan.h"
#include "flasher/FlasherTexts.h"
#include "flasher/UploadCommand.h"
#include "flasher/update/UpdateBatch.h"
#include "flasher/update/UpdateClient.h"
#include "flasher/update/VersionQuery.h"

#include <QCommandLineParser>
#include <optional>

namespace flasher {

using namespace devicelink;

namespace BatchMode {

namespace {

const QStringList CommandOptions = {QStringLiteral("firmware"),  QStringLiteral("eeprom"),
                                    QStringLiteral("search"),    QStringLiteral("info"),
                                    QStringLiteral("update"),    QStringLiteral("save-update-url"),
                                    QStringLiteral("list-ports")};
// --update-url alone opens the window with that server.
const QStringList OtherOptions = {QStringLiteral("port"),
                                  QStringLiteral("speed"),
                                  QStringLiteral("yes"),
                                  QStringLiteral("copy"),
                                  QStringLiteral("download-timeout"),
                                  QStringLiteral("help")};
const QList<int> Speeds = {4800, 19200, 38400};

void setUpParser(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "DEVAZ update-tool: ohne Option startet das Fenster. Mit einem der Befehle läuft der "
        "Flasher ohne Fenster, schreibt jede Logzeile auf die Standardausgabe und endet mit 0 "
        "(Erfolg), 1 (Fehler) oder 2 (falscher Aufruf). --update ohne --yes endet mit 0, wenn "
        "die aktuelle Firmware installiert ist, und mit 3, wenn eine neuere verfügbar ist."));
    parser.addOptions({
        {QStringLiteral("firmware"), QStringLiteral("Firmwaredatei (.bin) hochladen."),
         QStringLiteral("DATEI")},
        {QStringLiteral("eeprom"), QStringLiteral("EEPROM-Datei (.eep) hochladen."),
         QStringLiteral("DATEI")},
        {QStringLiteral("search"), QStringLiteral("Alle verfügbaren Ports nach dem Gerät "
                                                  "durchsuchen.")},
        {QStringLiteral("info"),
         QStringLiteral("Die auf dem Gerät installierte Firmwareversion abfragen.")},
        {QStringLiteral("port"),
         QStringLiteral("COM-Port: 1..99, COMn, ein Gerätepfad wie /dev/ttyUSB0 oder ein Link "
                        "unter /dev/serial/by-id/ (Vorgabe: der erste verfügbare Port)."),
         QStringLiteral("PORT")},
        {QStringLiteral("list-ports"),
         QStringLiteral("Alle vorhandenen Ports mit Zustand, Gerät, Adapter und VID:PID "
                        "auflisten (durch Tabulatoren getrennt).")},
        {QStringLiteral("speed"),
         QStringLiteral("Geschwindigkeit 4800, 19200 oder 38400 (Vorgabe: 19200)."),
         QStringLiteral("BAUD"), QStringLiteral("19200")},
    });
    UpdateBatch::addOptions(parser);
    parser.addOption({QStringLiteral("save-update-url"),
                      QStringLiteral("Adresse des Update-Servers für alle weiteren Aufrufe "
                                     "speichern."),
                      QStringLiteral("URL")});
    parser.addHelpOption();
}

// The option's name when the argument names one of ours ("--port", "--port=3", "-h").
QString optionName(const QString &argument)
{
    if (argument == QLatin1String("-h") || argument == QLatin1String("-?"))
        return QStringLiteral("help");
    if (!argument.startsWith(QLatin1String("--")))
        return QString();
    return argument.mid(2).section(QLatin1Char('='), 0, 0);
}

// Prints every log line at once, keeping the percentage line (if any) below them.
class Console
{
public:
    Console(QTextStream &out, QTextStream &err, bool percentLine)
        : m_out(out), m_err(err), m_percentLine(percentLine)
    {}
    ~Console() { finishPercent(); }

    LinkHooks hooks()
    {
        LinkHooks hooks;
        hooks.log = [this](const QString &line, LinkHooks::LineStyle) { print(line); };
        if (m_percentLine)
            hooks.percent = [this](int percent) { showPercent(percent); };
        return hooks;
    }

    void print(const QString &line)
    {
        clearPercent();
        m_out << line << Qt::endl;
        redrawPercent();
    }

    void finishPercent()
    {
        if (m_percent) {
            m_err << Qt::endl;
            m_percent.reset();
        }
    }

private:
    void showPercent(int percent)
    {
        m_percent = percent;
        m_err << '\r' << PercentText(percent) << "\x1b[K" << Qt::flush;
    }
    void clearPercent()
    {
        if (m_percent)
            m_err << "\r\x1b[K" << Qt::flush;
    }
    void redrawPercent()
    {
        if (m_percent)
            m_err << PercentText(*m_percent) << Qt::flush;
    }

    QTextStream &m_out;
    QTextStream &m_err;
    bool m_percentLine;
    std::optional<int> m_percent;
};

struct Settings
{
    QString command;
    int port = 0;   // 0: the first available one
    QString device; // --port named a device: every open goes to it
    int speed = 19200;
};

// Reads --port: "3", "COM3", a device path or a link to one. Empty when it is fine, else the
// usage error.
QString readPortOption(const QString &value, Settings &settings)
{
    const std::optional<devicelink::PortArgument> given = devicelink::ParsePortArgument(value);
    if (!given)
        return QStringLiteral("--port erwartet eine Zahl von 1 bis 99, COMn oder einen Gerätepfad");
    if (given->device.isEmpty() && (given->comNumber < 1 || given->comNumber > 99))
        return QStringLiteral("--port erwartet eine Zahl von 1 bis 99");
    settings.device = given->device;
    // A device no COM number leads to still needs a number for the log; the port ignores it.
    settings.port = given->comNumber > 0 ? given->comNumber : 1;
    return {};
}

// One line per existing port: COM name, state, device, adapter, VID:PID, tab-separated.
int listPorts(SerialPort &port, QTextStream &out, QTextStream &err)
{
    const AvailablePorts ports = ScanAvailablePorts(port, LinkHooks());
    for (const ProbedPort &probe : ports.probed) {
        const QString state = probe.error == SerialPort::OpenError::None
                                  ? QStringLiteral("verfügbar")
                                  : LinkTexts::openErrorText(probe.error);
        out << QStringList{QStringLiteral("COM%1").arg(probe.number), state, probe.device,
                           probe.details.description, probe.details.vidPid()}
                   .join(QLatin1Char('\t'))
            << Qt::endl;
    }
    if (ports.probed.isEmpty())
        err << "Kein serieller Port gefunden" << Qt::endl;
    return Success;
}

// The ports the scan left out for lack of rights or because they are busy.
void printScanProblems(const AvailablePorts &ports, Console &console)
{
    for (const QString &line : ScanProblemLines(ports))
        console.print(line);
}

// Each command's exit status, from the outcome of its operation.
int exitStatusFor(TransferOutcome outcome)
{
    return outcome == TransferOutcome::Ok ? Success : Failure;
}
int exitStatusFor(SearchOutcome outcome)
{
    return outcome == SearchOutcome::Found ? Success : Failure;
}
int exitStatusFor(VersionQueryOutcome outcome)
{
    return outcome == VersionQueryOutcome::Found ? Success : Failure;
}
int exitStatusFor(FirmwareInfo::Outcome outcome)
{
    return outcome == FirmwareInfo::Outcome::UpToDate ||
                   outcome == FirmwareInfo::Outcome::Programmed
               ? Success
               : Failure;
}

int usageError(QTextStream &err, const QString &message)
{
    err << "iveva-flasher: " << message << Qt::endl
        << "iveva-flasher --help zeigt die Befehle." << Qt::endl;
    return UsageError;
}

// The chosen port, or the first available one as the window selects it. 0 when there is none.
int choosePort(const Settings &settings, SerialPort &port, Console &console)
{
    if (settings.port > 0)
        return settings.port;
    const AvailablePorts ports = ScanAvailablePorts(port, LinkHooks());
    printScanProblems(ports, console);
    if (ports.numbers.isEmpty()) {
        console.print(QStringLiteral("Kein verfügbarer Comport gefunden"));
        return 0;
    }
    return ports.numbers.first();
}

int runUpload(UploadKind kind, const QString &path, const Settings &settings, SerialPort &port,
              Console &console)
{
    const int comNumber = choosePort(settings, port, console);
    if (comNumber == 0)
        return Failure;
    const UploadRequest request{kind, PortDisplayEntry(comNumber), settings.speed, path};
    const TransferOutcome outcome = RunUploadCommand(port, request, console.hooks());
    console.finishPercent();
    return exitStatusFor(outcome);
}

int runSearch(const Settings &settings, SerialPort &port, Console &console)
{
    const AvailablePorts ports = ScanAvailablePorts(port, LinkHooks());
    printScanProblems(ports, console);
    QByteArray receiveText;
    const SearchResult result =
        SearchDevice(port, ports.numbers, settings.speed, SearchVariant::flasher(), receiveText,
                     console.hooks());
    return exitStatusFor(result.outcome);
}

// The firmware information command's version query on the chosen port: the version line(s).
int runInfo(const Settings &settings, SerialPort &port, Console &console)
{
    const int comNumber = choosePort(settings, port, console);
    if (comNumber == 0)
        return Failure;
    QByteArray receiveText;
    const InstalledVersion installed =
        QueryInstalledVersion(port, comNumber, settings.speed, receiveText, console.hooks());
    port.close();
    return exitStatusFor(installed.outcome);
}

// The firmware information command with the online update, answered from the command line.
int runUpdate(const QCommandLineParser &parser, const Settings &settings, SerialPort &port,
              Console &console, QTextStream &out, QTextStream &err)
{
    QString error;
    std::optional<UpdateBatchOptions> read = UpdateBatch::readOptions(parser, &error);
    if (!read)
        return usageError(err, error);
    UpdateBatchOptions options = *read;
    options.comNumber = choosePort(settings, port, console);
    if (options.comNumber == 0)
        return Failure;
    options.baudRate = settings.speed;
    const FirmwareInfo::Outcome outcome = UpdateBatch::run(options, port, console.hooks(), out);
    console.finishPercent();
    // Without --yes the download question is answered No: a newer firmware was found.
    if (outcome == FirmwareInfo::Outcome::Declined && !options.yes)
        return UpdateBatch::NewerAvailable;
    return exitStatusFor(outcome);
}

int saveUpdateUrl(const QString &text, QTextStream &out, QTextStream &err)
{
    const QUrl url = UpdateClient::baseUrlFromText(text);
    if (!url.isValid())
        return usageError(err,
                          QStringLiteral("\"%1\" ist keine http- oder https-Adresse").arg(text));
    UpdateClient::saveBaseUrl(text);
    out << "Update-Server gespeichert: " << url.toString() << Qt::endl;
    return Success;
}

} // namespace

bool IsBatchCall(const QStringList &arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString name = optionName(arguments[i]);
        if (CommandOptions.contains(name) || OtherOptions.contains(name))
            return true;
    }
    return false;
}

int Run(const QStringList &arguments, SerialPort &anyPort, QTextStream &out, QTextStream &err,
        bool percentLine)
{
    QCommandLineParser parser;
    setUpParser(parser);
    if (!parser.parse(arguments))
        return usageError(err, parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        out << parser.helpText() << Qt::flush;
        return Success;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(err, QStringLiteral("unerwartetes Argument \"%1\"")
                                   .arg(parser.positionalArguments().first()));

    Settings settings;
    for (const QString &command : CommandOptions) {
        if (!parser.isSet(command))
            continue;
        if (!settings.command.isEmpty())
            return usageError(err, QStringLiteral("nur ein Befehl auf einmal"));
        settings.command = command;
    }
    if (settings.command.isEmpty())
        return usageError(
            err, QStringLiteral("ein Befehl fehlt: --firmware, --eeprom, --search, --info, "
                                "--update oder --list-ports"));
    if (parser.isSet(QStringLiteral("port"))) {
        const QString error = readPortOption(parser.value(QStringLiteral("port")), settings);
        if (!error.isEmpty())
            return usageError(err, error);
    }
    bool speedOk = false;
    settings.speed = parser.value(QStringLiteral("speed")).toInt(&speedOk);
    if (!speedOk || !Speeds.contains(settings.speed))
        return usageError(err, QStringLiteral("--speed erwartet 4800, 19200 oder 38400"));

    if (settings.command == QLatin1String("list-ports"))
        return listPorts(anyPort, out, err);
    std::optional<devicelink::PinnedPort> pinned;
    SerialPort &port =
        settings.device.isEmpty() ? anyPort : pinned.emplace(anyPort, settings.device);
    Console console(out, err, percentLine);
    if (settings.command == QLatin1String("firmware"))
        return runUpload(UploadKind::Firmware, parser.value(settings.command), settings, port,
                         console);
    if (settings.command == QLatin1String("eeprom"))
        return runUpload(UploadKind::Eeprom, parser.value(settings.command), settings, port,
                         console);
    if (settings.command == QLatin1String("search"))
        return runSearch(settings, anyPort, console); // searches every port, never one device
    if (settings.command == QLatin1String("update"))
        return runUpdate(parser, settings, port, console, out, err);
    if (settings.command == QLatin1String("save-update-url"))
        return saveUpdateUrl(parser.value(settings.command), out, err);
    return runInfo(settings, port, console);
}

} // namespace BatchMode

} // namespace flasher
