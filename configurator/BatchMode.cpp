#include "BatchMode.h"

#include "ComPort.h"
#include "ConfigImage.h"
#include "ConfigUpload.h"
#include "PortFile.h"
#include "ValueTable.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace BatchMode {

namespace {

const QString OpenOption = QStringLiteral("open");
const QString SaveOption = QStringLiteral("save");
const QString PrintOption = QStringLiteral("print");
const QString UploadOption = QStringLiteral("upload");
const QString PortOption = QStringLiteral("port");

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
        {PortOption, QStringLiteral("COM-Port für --upload (Vorgabe: der Port aus port.dll)."),
         QStringLiteral("N")},
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
    if (WriteConfigImageFile(path, settings))
        return true;
    err << QStringLiteral("Datei \"%1\" konnte nicht geschrieben werden")
               .arg(QDir::toNativeSeparators(path))
        << '\n';
    return false;
}

bool upload(const ConfigSettings &settings, const QString &portText, QTextStream &out,
            QTextStream &err)
{
    if (!save(ConfigUpload::imageFileName(), settings, err))
        return false;
    LinkHooks hooks;
    hooks.log = [&out](const QString &line, LinkHooks::LineStyle) {
        out << line << '\n';
        out.flush();
    };
    ComPort port;
    return ConfigUpload::run(port, portText, ConfigUpload::imageFileName(), hooks) ==
           TransferOutcome::Ok;
}

} // namespace

bool requested(const QStringList &arguments)
{
    static const QStringList names{OpenOption,   SaveOption, PrintOption,
                                   UploadOption, PortOption, QStringLiteral("help")};
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
    bool portOk = true;
    if (!ports.isEmpty())
        ports.first().toInt(&portOk);
    if (!portOk)
        return usageError(
            QStringLiteral("--port erwartet eine Zahl, nicht \"%1\"").arg(ports.first()));

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
