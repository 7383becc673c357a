#include "configurator/BatchMode.h"

#include "configurator/ConfigUpload.h"
#include "configurator/core/AnalogCharacteristic.h"
#include "configurator/core/ConfigImage.h"
#include "configurator/core/PortFile.h"
#include "configurator/core/ValueTable.h"
#include "devicelink/ComPort.h"
#include "devicelink/PortDevices.h"

#include <QCommandLineParser>
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

void setUp(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "ROZID IVEVA Konfigurator. Ohne Optionen öffnet sich das Fenster; mit Optionen laufen "
        "sie ohne Fenster in der angegebenen Reihenfolge, ausgehend von den Grundeinstellungen."));
    parser.addHelpOption();
    parser.addOptions({
        {OpenOption, QStringLiteral("Einstellungen aus der Abbilddatei DATEI übernehmen."),
         QStringLiteral("DATEI")},
        {SaveOption, QStringLiteral("Einstellungen als Abbilddatei DATEI speichern."),
         QStringLiteral("DATEI")},
        {PrintOption, QStringLiteral("Jede Einstellung als Zeile ausgeben.")},
        {UploadOption, QStringLiteral("Einstellungen nach configs.eep im aktuellen Ordner "
                                      "schreiben und ins Gerät hochladen.")},
        {PortOption,
         QStringLiteral("COM-Port für --upload: eine Zahl, COMn, ein Gerätepfad wie /dev/ttyUSB0 "
                        "oder ein Link unter /dev/serial/by-id/ (Vorgabe: der Port aus port.dll)."),
         QStringLiteral("PORT")},
        {AnalogOption, QStringLiteral("Kennlinie des Analogausgangs ausgeben: die zwei Punkte, "
                                      "Lambda = a + b * U und eine Tabelle U/V;Lambda;AFR.")},
        {StoichOption,
         QStringLiteral("Stöchiometrisches Verhältnis für die AFR-Spalte von --analog, 1 bis 30 "
                        "(Vorgabe: 14,7 für Benzin)."),
         QStringLiteral("R")},
    });
}

void print(const ConfigSettings &settings, QTextStream &out)
{
    for (ConfigSettings::Setting setting : ConfigSettings::allSettings()) {
        const int value = settings.value(setting);
        const QString shown = ConfigSettings::kind(setting) == ConfigSettings::Kind::List
                                  ? ValueTable::entries(setting).at(value).text
                                  : QString::number(value);
        out << ConfigSettings::controlName(setting) << ": " << shown << '\n';
    }
    out.flush();
}

// The characteristic on `out`; its notes on `err`. Without a line there is nothing to give an
// ECU, which is a failure.
bool printAnalog(const ConfigSettings &settings, double stoich, QTextStream &out, QTextStream &err)
{
    const AnalogCharacteristic characteristic(settings, stoich);
    for (AnalogCharacteristic::Note note : characteristic.notes)
        err << AnalogCharacteristic::noteText(note) << '\n';
    err.flush();
    if (characteristic.hasLine)
        out << characteristic.calibrationText();
    out.flush();
    return characteristic.hasLine;
}

bool open(const QString &path, ConfigSettings &settings, QTextStream &err)
{
    // The window's "öffnen" is silent; here a file that is not there is worth a word.
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) {
        err << QStringLiteral("Datei \"%1\" nicht lesbar").arg(QDir::toNativeSeparators(path))
            << '\n';
        return false;
    }
    ApplyConfigImage(path, settings);
    return true;
}

bool save(const QString &path, const ConfigSettings &settings, QTextStream &err)
{
    QString reason;
    if (WriteConfigImageFile(path, settings, &reason))
        return true;
    err << QStringLiteral("Datei \"%1\" konnte nicht geschrieben werden")
               .arg(QDir::toNativeSeparators(path))
        << '\n'
        << QStringLiteral("Grund: ") << reason << '\n';
    return false;
}

bool upload(const ConfigSettings &settings, const QString &portText, QTextStream &out,
            QTextStream &err)
{
    LinkHooks hooks;
    hooks.log = [&out](const QString &line, LinkHooks::LineStyle) {
        out << line << '\n';
        out.flush();
    };
    ComPort comPort;
    // A device named by path is opened as that device whatever number the upload uses.
    const std::optional<devicelink::PortArgument> given = devicelink::ParsePortArgument(portText);
    std::optional<devicelink::PinnedPort> pinned;
    QString number = portText;
    if (given && !given->device.isEmpty()) {
        pinned.emplace(comPort, given->device);
        number = QString::number(given->comNumber > 0 ? given->comNumber : 1);
    } else if (given) {
        number = QString::number(given->comNumber);
    }
    SerialPort &port = pinned ? static_cast<SerialPort &>(*pinned) : comPort;
    // A wrong port is refused before configs.eep is written (the upload logs why).
    if (ConfigUpload::portNumberFromText(number) != 0 &&
        !save(ConfigUpload::imageFileName(), settings, err))
        return false;
    return ConfigUpload::run(port, number, ConfigUpload::imageFileName(), hooks) ==
           TransferOutcome::Ok;
}

} // namespace

bool requested(const QStringList &arguments)
{
    static const QStringList names{OpenOption, SaveOption,   PrintOption,  UploadOption,
                                   PortOption, AnalogOption, StoichOption, QStringLiteral("help")};
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (arg == QLatin1String("-h") || arg == QLatin1String("-?"))
            return true;
        for (const QString &name : names) {
            const QString option = QStringLiteral("--") + name;
            if (arg == option || arg.startsWith(option + QLatin1Char('=')))
                return true;
        }
    }
    return false;
}

int run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    setUp(parser);
    const auto usageError = [&](const QString &message) {
        err << message << '\n' << parser.helpText();
        err.flush();
        return UsageError;
    };
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        out << parser.helpText();
        out.flush();
        return Success;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("Unerwartete Argumente: ") +
                          parser.positionalArguments().join(QLatin1Char(' ')));
    const QStringList ports = parser.values(PortOption);
    if (ports.size() > 1 || (!ports.isEmpty() && !parser.isSet(UploadOption)))
        return usageError(QStringLiteral("--port gehört genau einmal zu --upload"));
    if (!ports.isEmpty() && !devicelink::ParsePortArgument(ports.first()))
        return usageError(QStringLiteral("--port erwartet eine Zahl, COMn oder einen Gerätepfad, "
                                         "nicht \"%1\"")
                              .arg(ports.first()));

    const QStringList stoichs = parser.values(StoichOption);
    if (stoichs.size() > 1 || (!stoichs.isEmpty() && !parser.isSet(AnalogOption)))
        return usageError(QStringLiteral("--stoich gehört genau einmal zu --analog"));
    double stoich = AnalogCharacteristic::fuels().at(AnalogCharacteristic::defaultFuel()).stoich;
    if (!stoichs.isEmpty()) {
        // A plain decimal with comma or point; toDouble() alone would take "1e1" or "inf".
        static const QRegularExpression decimal(QStringLiteral("^\\d{1,2}([.,]\\d{1,6})?$"));
        QString text = stoichs.first().trimmed();
        const bool isDecimal = decimal.match(text).hasMatch();
        stoich = text.replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
        if (!isDecimal || stoich < AnalogCharacteristic::MinStoich ||
            stoich > AnalogCharacteristic::MaxStoich)
            return usageError(QStringLiteral("--stoich erwartet eine Zahl von 1 bis 30 wie "
                                             "14,7, nicht \"%1\"")
                                  .arg(stoichs.first()));
    }

    // optionNames() keeps the command line's order; each name's values come in order too.
    QHash<QString, int> used;
    ConfigSettings settings;
    for (const QString &name : parser.optionNames()) {
        bool ok = true;
        if (name == OpenOption) {
            ok = open(parser.values(name).at(used[name]++), settings, err);
        } else if (name == SaveOption) {
            ok = save(parser.values(name).at(used[name]++), settings, err);
        } else if (name == PrintOption) {
            print(settings, out);
        } else if (name == AnalogOption) {
            ok = printAnalog(settings, stoich, out, err);
        } else if (name == UploadOption) {
            const QString portText =
                ports.isEmpty() ? QString::number(PortFile().readPort()) : ports.first();
            ok = upload(settings, portText, out, err);
        }
        if (!ok) {
            out.flush();
            err.flush();
            return Failure; // later steps would build on what failed
        }
    }
    out.flush();
    return Success;
}

} // namespace BatchMode

} // namespace configurator
