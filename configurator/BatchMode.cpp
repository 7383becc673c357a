#include "configurator/BatchMode.h"

#include "configurator/ConfigUpload.h"
#include "configurator/core/AnalogCharacteristic.h"
#include "configurator/core/ConfigImage.h"
#include "configurator/core/PortFile.h"
#include "configurator/core/ValueTable.h"
#include "devicelink/ComPort.h"
#include "devicelink/LinkHints.h"
#include "devicelink/PortDevices.h"
#include "shell/ConsoleSink.h"
#include "shell/Interruption.h"
#include "shell/OptionTable.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>

namespace configurator {

using namespace devicelink;

namespace BatchMode {

namespace {

enum class Option
{
    Open,
    Save,
    Print,
    Analog,
    Stoich,
    Upload,
    Port,
    Log,
    Quiet,
    Trace
};

// What the options set for one run, the settings its steps work on, and where it prints.
struct Job
{
    QDir work;
    devicelink::LinkSettings link;
    QString portText; // --port; empty: the port in port.dll
    double stoich = AnalogCharacteristic::fuels().at(AnalogCharacteristic::defaultFuel()).stoich;
    QString logPath;
    bool quiet = false;
    bool trace = false;

    ConfigSettings settings;
    shell::ConsoleSink *console = nullptr; // set once every option has been read
};

void print(const ConfigSettings &settings, shell::ConsoleSink &console)
{
    for (ConfigSettings::Setting setting : ConfigSettings::allSettings()) {
        const int value = settings.value(setting);
        const QString shown = ConfigSettings::kind(setting) == ConfigSettings::Kind::List
                                  ? ValueTable::entries(setting).at(value).text
                                  : QString::number(value);
        console.print(ConfigSettings::controlName(setting) + QStringLiteral(": ") + shown);
    }
}

// The characteristic as lines; its notes as messages. Without a line there is nothing to give
// an ECU, which is a failure.
bool printAnalog(const ConfigSettings &settings, double stoich, shell::ConsoleSink &console)
{
    const AnalogCharacteristic characteristic(settings, stoich);
    for (AnalogCharacteristic::Note note : characteristic.notes)
        console.printError(AnalogCharacteristic::noteText(note));
    if (characteristic.hasLine) {
        QStringList lines = characteristic.calibrationText().split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast(); // the text ends with a line break
        for (const QString &line : lines)
            console.print(line);
    }
    return characteristic.hasLine;
}

bool open(const QString &path, ConfigSettings &settings, shell::ConsoleSink &console)
{
    // The window's "öffnen" is silent; here a file that is not there is worth a word.
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) {
        console.printError(
            QStringLiteral("Datei \"%1\" nicht lesbar").arg(QDir::toNativeSeparators(path)));
        return false;
    }
    ApplyConfigImage(path, settings);
    return true;
}

bool save(const QString &path, const ConfigSettings &settings, shell::ConsoleSink &console)
{
    QString reason;
    if (WriteConfigImageFile(path, settings, &reason))
        return true;
    console.printError(QStringLiteral("Datei \"%1\" konnte nicht geschrieben werden")
                           .arg(QDir::toNativeSeparators(path)));
    console.printError(QStringLiteral("Grund: ") + reason);
    return false;
}

bool upload(const Job &job, const QString &portText)
{
    ComPort comPort(job.link);
    // A device named by path is opened as that device whatever number the upload uses.
    // A number port.dll holds that is no port is left for the upload to report.
    const devicelink::PortArgument given =
        devicelink::parsePortArgument(portText, job.link.portDir);
    std::optional<devicelink::PinnedPort> pinned;
    QString number = portText;
    if (given.isValid()) {
        if (!given.device.isEmpty())
            pinned.emplace(comPort, given.device);
        number = QString::number(given.numberForOpen());
    }
    SerialPort &port = pinned ? static_cast<SerialPort &>(*pinned) : comPort;
    const QString imagePath = job.work.filePath(ConfigUpload::imageFileName());
    // A wrong port is refused before configs.eep is written (the upload logs why).
    if (ConfigUpload::portNumberFromText(number) != 0 &&
        !save(imagePath, job.settings, *job.console))
        return false;
    const TransferOutcome outcome = ConfigUpload::run(
        port, ConfigUpload::portNumberFromText(number), imagePath, job.console->hooks());
    if (outcome == LinkFailure::NoHandshake)
        job.console->failedWithoutLine();
    job.console->endOperation();
    return outcome == TransferResult::Sent;
}

// --stoich: a plain decimal from 1 to 30 with comma or point.
QString readStoich(Job &job, const QString &value)
{
    // toDouble() alone would take "1e1" or "inf".
    static const QRegularExpression decimal(QStringLiteral("^\\d{1,2}([.,]\\d{1,6})?$"));
    QString text = value.trimmed();
    const bool isDecimal = decimal.match(text).hasMatch();
    job.stoich = text.replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
    if (!isDecimal || job.stoich < AnalogCharacteristic::MinStoich ||
        job.stoich > AnalogCharacteristic::MaxStoich)
        return QStringLiteral("--stoich erwartet eine Zahl von 1 bis 30 wie 14,7, nicht \"%1\"")
            .arg(value);
    return {};
}

QString readPort(Job &job, const QString &value)
{
    job.portText = value;
    return devicelink::parsePortArgument(value, job.link.portDir).error;
}

int status(bool ok)
{
    return ok ? shell::Success : shell::Failure;
}

using Table = shell::OptionTable<Option, Job>;

Table makeTable()
{
    shell::Program program;
    program.name = QStringLiteral("iveva-configurator");
    program.window = QStringLiteral("ROZID IVEVA KONFIGURATOR V1.0");
    program.summary = QStringLiteral(
        "ROZID IVEVA Konfigurator. Ohne Optionen öffnet sich das Fenster; mit Optionen laufen "
        "sie ohne Fenster in der angegebenen Reihenfolge, ausgehend von den Grundeinstellungen.");
    program.exitStatuses = shell::commonExitStatuses();
    program.exitStatuses.append(shell::Interruption::exitStatuses());
    return Table(
        program,
        {
            {Option::Open,
             QStringLiteral("open"),
             QStringLiteral("DATEI"),
             QStringLiteral("Einstellungen aus der Abbilddatei DATEI übernehmen."),
             true,
             {},
             [](Job &job, const QString &path) {
                 return status(open(job.work.filePath(path), job.settings, *job.console));
             }},
            {Option::Save,
             QStringLiteral("save"),
             QStringLiteral("DATEI"),
             QStringLiteral("Einstellungen als Abbilddatei DATEI speichern."),
             true,
             {},
             [](Job &job, const QString &path) {
                 return status(save(job.work.filePath(path), job.settings, *job.console));
             }},
            {Option::Print,
             QStringLiteral("print"),
             QString(),
             QStringLiteral("Jede Einstellung als Zeile ausgeben."),
             true,
             {},
             [](Job &job, const QString &) {
                 print(job.settings, *job.console);
                 return int(shell::Success);
             }},
            {Option::Analog,
             QStringLiteral("analog"),
             QString(),
             QStringLiteral("Kennlinie des Analogausgangs ausgeben: die zwei Punkte, "
                            "Lambda = a + b * U und eine Tabelle U/V;Lambda;AFR."),
             true,
             {},
             [](Job &job, const QString &) {
                 return status(printAnalog(job.settings, job.stoich, *job.console));
             }},
            {Option::Stoich,
             QStringLiteral("stoich"),
             QStringLiteral("R"),
             QStringLiteral(
                 "Stöchiometrisches Verhältnis für die AFR-Spalte von --analog, 1 bis 30 "
                 "(Vorgabe: 14,7 für Benzin)."),
             true,
             readStoich,
             {},
             Option::Analog},
            {Option::Upload,
             QStringLiteral("upload"),
             QString(),
             QStringLiteral("Einstellungen nach configs.eep im aktuellen Ordner schreiben und ins "
                            "Gerät hochladen."),
             true,
             {},
             [](Job &job, const QString &) {
                 const QString portText =
                     job.portText.isEmpty()
                         ? QString::number(
                               PortFile(job.work.filePath(PortFile::defaultFileName())).readPort())
                         : job.portText;
                 return status(upload(job, portText));
             }},
            {Option::Port,
             QStringLiteral("port"),
             QStringLiteral("PORT"),
             QStringLiteral(
                 "COM-Port für --upload: eine Zahl, COMn, ein Gerätepfad wie "
                 "/dev/ttyUSB0 oder ein Link unter /dev/serial/by-id/ (Vorgabe: der Port "
                 "aus port.dll)."),
             true,
             readPort,
             {},
             Option::Upload},
            {Option::Log,
             QStringLiteral("log"),
             QStringLiteral("DATEI"),
             shell::LogOptionHelp(),
             true,
             [](Job &job, const QString &path) {
                 job.logPath = job.work.filePath(path);
                 return QString();
             },
             {},
             std::nullopt,
             true},
            {Option::Quiet, QStringLiteral("quiet"), QString(),
             QStringLiteral("Von --upload nur die Schlusszeile ausgeben, keine Zeile je Schritt; "
                            "Fehler stehen auf der Standardfehlerausgabe, --log erhält weiter jede "
                            "Zeile."),
             true, shell::Set(&Job::quiet)},
            shell::TraceRow(Option::Trace, &Job::trace),
        });
}

const Table &table()
{
    static const Table configurator = makeTable();
    return configurator;
}

} // namespace

const shell::Program &program()
{
    return table().program();
}

int run(const shell::CommandLine &commandLine, const shell::RunContext &context, QTextStream &out,
        QTextStream &err, bool batched)
{
    if (const std::optional<int> status =
            shell::answerCommonOptions(program(), commandLine, out, err))
        return *status;
    Job job;
    job.work = QDir(context.workingFolder);
    job.link = context.link;
    if (const QString error = table().read(commandLine, job); !error.isEmpty())
        return shell::usageError(err, program(), error);

    shell::ConsoleSink console(out, err, {program().name, false, batched});
    // The log covers the whole run, wherever --log stands among the ordered options.
    if (!job.logPath.isEmpty() && !console.appendTo(job.logPath))
        return shell::Failure;
    // Only an upload looks for ports.
    if (const QString hint = LinkHints::missingPortDir(context.link.portDir);
        !hint.isEmpty() && commandLine.isSet(int(Option::Upload)))
        console.explain(hint);
    if (job.quiet)
        console.setQuiet({}, true);
    if (job.trace)
        job.link.trace = console.wireTrace();
    job.console = &console;
    for (const auto &[option, value] : table().actions(commandLine)) {
        // Later steps would build on what failed.
        if (const int status = option->handle(job, value); status != shell::Success)
            return console.finish(status);
    }
    return console.finish(shell::Success);
}

} // namespace BatchMode

} // namespace configurator
