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

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>

namespace configurator {

using namespace devicelink;

namespace BatchMode {

namespace {

const QString OpenOption = QStringLiteral("open");
const QString SaveOption = QStringLiteral("save");
const QString PrintOption = QStringLiteral("print");
const QString UploadOption = QStringLiteral("upload");
const QString PortOption = QStringLiteral("port");
const QString AnalogOption = QStringLiteral("analog");
const QString StoichOption = QStringLiteral("stoich");
const QString LogOption = QStringLiteral("log");
const QString QuietOption = QStringLiteral("quiet");

shell::Program makeProgram()
{
    shell::Program program;
    program.name = QStringLiteral("iveva-configurator");
    program.window = QStringLiteral("ROZID IVEVA KONFIGURATOR V1.0");
    program.summary = QStringLiteral(
        "ROZID IVEVA Konfigurator. Ohne Optionen öffnet sich das Fenster; mit Optionen laufen "
        "sie ohne Fenster in der angegebenen Reihenfolge, ausgehend von den Grundeinstellungen.");
    program.options = {
        {OpenOption, QStringLiteral("DATEI"),
         QStringLiteral("Einstellungen aus der Abbilddatei DATEI übernehmen."), true},
        {SaveOption, QStringLiteral("DATEI"),
         QStringLiteral("Einstellungen als Abbilddatei DATEI speichern."), true},
        {PrintOption, QString(), QStringLiteral("Jede Einstellung als Zeile ausgeben."), true},
        {AnalogOption, QString(),
         QStringLiteral("Kennlinie des Analogausgangs ausgeben: die zwei Punkte, "
                        "Lambda = a + b * U und eine Tabelle U/V;Lambda;AFR."),
         true},
        {StoichOption, QStringLiteral("R"),
         QStringLiteral("Stöchiometrisches Verhältnis für die AFR-Spalte von --analog, 1 bis 30 "
                        "(Vorgabe: 14,7 für Benzin)."),
         true},
        {UploadOption, QString(),
         QStringLiteral("Einstellungen nach configs.eep im aktuellen Ordner schreiben und ins "
                        "Gerät hochladen."),
         true},
        {PortOption, QStringLiteral("PORT"),
         QStringLiteral("COM-Port für --upload: eine Zahl, COMn, ein Gerätepfad wie /dev/ttyUSB0 "
                        "oder ein Link unter /dev/serial/by-id/ (Vorgabe: der Port aus port.dll)."),
         true},
        {LogOption, QStringLiteral("DATEI"),
         QStringLiteral("Jede ausgegebene Zeile mit Zeitstempel an DATEI anhängen."), true},
        {QuietOption, QString(),
         QStringLiteral("Von --upload nur die Schlusszeile ausgeben, keine Zeile je Schritt; "
                        "Fehler stehen auf der Standardfehlerausgabe, --log erhält weiter jede "
                        "Zeile."),
         true},
    };
    program.exitStatuses = shell::commonExitStatuses();
    program.exitStatuses.append(shell::Interruption::exitStatuses());
    return program;
}

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

bool upload(const ConfigSettings &settings, const QString &portText,
            const shell::RunContext &context, shell::ConsoleSink &console)
{
    ComPort comPort(context.link);
    // A device named by path is opened as that device whatever number the upload uses.
    // A number port.dll holds that is no port is left for the upload to report.
    const devicelink::PortArgument given =
        devicelink::parsePortArgument(portText, context.link.portDir);
    std::optional<devicelink::PinnedPort> pinned;
    QString number = portText;
    if (given.isValid()) {
        if (!given.device.isEmpty())
            pinned.emplace(comPort, given.device);
        number = QString::number(given.numberForOpen());
    }
    SerialPort &port = pinned ? static_cast<SerialPort &>(*pinned) : comPort;
    const QString imagePath = QDir(context.workingFolder).filePath(ConfigUpload::imageFileName());
    // A wrong port is refused before configs.eep is written (the upload logs why).
    if (ConfigUpload::portNumberFromText(number) != 0 && !save(imagePath, settings, console))
        return false;
    const TransferOutcome outcome = ConfigUpload::run(port, number, imagePath, console.hooks());
    if (outcome == TransferOutcome::NoHandshake)
        console.failedWithoutLine();
    console.endOperation();
    return outcome == TransferOutcome::Ok;
}

// The stoichiometric ratio --stoich gives, or Benzin's. Nothing for text that is no plain
// decimal from 1 to 30.
std::optional<double> stoichFrom(const QStringList &given)
{
    if (given.isEmpty())
        return AnalogCharacteristic::fuels().at(AnalogCharacteristic::defaultFuel()).stoich;
    // A plain decimal with comma or point; toDouble() alone would take "1e1" or "inf".
    static const QRegularExpression decimal(QStringLiteral("^\\d{1,2}([.,]\\d{1,6})?$"));
    QString text = given.first().trimmed();
    const bool isDecimal = decimal.match(text).hasMatch();
    const double stoich = text.replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
    if (!isDecimal || stoich < AnalogCharacteristic::MinStoich ||
        stoich > AnalogCharacteristic::MaxStoich)
        return std::nullopt;
    return stoich;
}

} // namespace

const shell::Program &program()
{
    static const shell::Program configurator = makeProgram();
    return configurator;
}

int run(const shell::CommandLine &commandLine, const shell::RunContext &context, QTextStream &out,
        QTextStream &err, bool batched)
{
    if (const std::optional<int> status =
            shell::answerCommonOptions(program(), commandLine, out, err))
        return *status;
    const auto usageError = [&err](const QString &message) {
        return shell::usageError(err, program(), message);
    };
    const QStringList ports = commandLine.values(PortOption);
    if (ports.size() > 1 || (!ports.isEmpty() && !commandLine.isSet(UploadOption)))
        return usageError(QStringLiteral("--port gehört genau einmal zu --upload"));
    if (!ports.isEmpty()) {
        const devicelink::PortArgument given =
            devicelink::parsePortArgument(ports.first(), context.link.portDir);
        if (!given.isValid())
            return usageError(given.error);
    }
    const QStringList stoichs = commandLine.values(StoichOption);
    if (stoichs.size() > 1 || (!stoichs.isEmpty() && !commandLine.isSet(AnalogOption)))
        return usageError(QStringLiteral("--stoich gehört genau einmal zu --analog"));
    const std::optional<double> stoich = stoichFrom(stoichs);
    if (!stoich)
        return usageError(
            QStringLiteral("--stoich erwartet eine Zahl von 1 bis 30 wie 14,7, nicht \"%1\"")
                .arg(stoichs.first()));
    if (commandLine.values(LogOption).size() > 1)
        return usageError(QStringLiteral("--log nur einmal"));

    shell::ConsoleSink console(out, err, {program().name, false, batched});
    const QDir work(context.workingFolder);
    // The log covers the whole run, wherever --log stands among the ordered options.
    if (commandLine.isSet(LogOption)) {
        QString why;
        const QString logPath = work.filePath(commandLine.value(LogOption));
        if (!console.appendTo(logPath, &why)) {
            console.printError(
                QStringLiteral("Logdatei \"%1\" nicht beschreibbar: %2").arg(logPath, why));
            return shell::Failure;
        }
    }
    // Only an upload looks for ports.
    if (const QString hint = LinkHints::missingPortDir(context.link.portDir);
        !hint.isEmpty() && commandLine.isSet(UploadOption))
        console.explain(hint);
    if (commandLine.isSet(QuietOption))
        console.setQuiet({}, true);
    ConfigSettings settings;
    for (const auto &[name, value] : commandLine.given()) {
        bool ok = true;
        if (name == OpenOption) {
            ok = open(work.filePath(value), settings, console);
        } else if (name == SaveOption) {
            ok = save(work.filePath(value), settings, console);
        } else if (name == PrintOption) {
            print(settings, console);
        } else if (name == AnalogOption) {
            ok = printAnalog(settings, *stoich, console);
        } else if (name == UploadOption) {
            const QString portText =
                ports.isEmpty()
                    ? QString::number(
                          PortFile(work.filePath(PortFile::defaultFileName())).readPort())
                    : ports.first();
            ok = upload(settings, portText, context, console);
        }
        if (!ok)
            return console.finish(shell::Failure); // later steps would build on what failed
    }
    return console.finish(shell::Success);
}

} // namespace BatchMode

} // namespace configurator
