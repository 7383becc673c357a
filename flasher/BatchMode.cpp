#include "BatchMode.h"

#include "FlasherTexts.h"
#include "Identification.h"
#include "PortScan.h"
#include "UpdateBatch.h"
#include "UpdateClient.h"
#include "UploadCommand.h"
#include "VersionQuery.h"

#include <QCommandLineParser>
#include <optional>

namespace BatchMode {

namespace {

const QStringList CommandOptions = {QStringLiteral("firmware"), QStringLiteral("eeprom"),
                                    QStringLiteral("search"),   QStringLiteral("info"),
                                    QStringLiteral("update"),   QStringLiteral("save-update-url")};
// --update-url alone opens the window with that server.
const QStringList OtherOptions = {QStringLiteral("port"), QStringLiteral("speed"),
                                  QStringLiteral("yes"), QStringLiteral("copy"),
                                  QStringLiteral("help")};
const QList<int> Speeds = {4800, 19200, 38400};

void setUpParser(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "DEVAZ update-tool: ohne Option startet das Fenster. Mit einem der Befehle läuft der "
        "Flasher ohne Fenster, schreibt jede Logzeile auf die Standardausgabe und endet mit 0 "
        "(Erfolg), 1 (Fehler) oder 2 (falscher Aufruf)."));
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
         QStringLiteral("COM-Port 1..99 (Vorgabe: der erste verfügbare Port)."),
         QStringLiteral("N")},
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
    int port = 0; // 0: the first available one
    int speed = 19200;
};

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
              Console &console, QTextStream &out)
{
    UpdateBatchOptions options = UpdateBatch::readOptions(parser);
    options.comNumber = choosePort(settings, port, console);
    if (options.comNumber == 0)
        return Failure;
    options.baudRate = settings.speed;
    const FirmwareInfo::Outcome outcome = UpdateBatch::run(options, port, console.hooks(), out);
    console.finishPercent();
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

int Run(const QStringList &arguments, SerialPort &port, QTextStream &out, QTextStream &err,
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
        return usageError(err,
                          QStringLiteral("ein Befehl fehlt: --firmware, --eeprom, --search, --info "
                                         "oder --update"));
    if (parser.isSet(QStringLiteral("port"))) {
        bool ok = false;
        settings.port = parser.value(QStringLiteral("port")).toInt(&ok);
        if (!ok || settings.port < 1 || settings.port > 99)
            return usageError(err, QStringLiteral("--port erwartet eine Zahl von 1 bis 99"));
    }
    bool speedOk = false;
    settings.speed = parser.value(QStringLiteral("speed")).toInt(&speedOk);
    if (!speedOk || !Speeds.contains(settings.speed))
        return usageError(err, QStringLiteral("--speed erwartet 4800, 19200 oder 38400"));

    Console console(out, err, percentLine);
    if (settings.command == QLatin1String("firmware"))
        return runUpload(UploadKind::Firmware, parser.value(settings.command), settings, port,
                         console);
    if (settings.command == QLatin1String("eeprom"))
        return runUpload(UploadKind::Eeprom, parser.value(settings.command), settings, port,
                         console);
    if (settings.command == QLatin1String("search"))
        return runSearch(settings, port, console);
    if (settings.command == QLatin1String("update"))
        return runUpdate(parser, settings, port, console, out);
    if (settings.command == QLatin1String("save-update-url"))
        return saveUpdateUrl(parser.value(settings.command), out, err);
    return runInfo(settings, port, console);
}

} // namespace BatchMode
