#include "shell/CommandLine.h"

#include <QTextStream>

#include <algorithm>

namespace shell {

namespace {

const QString HelpName = QStringLiteral("help");
const QString VersionName = QStringLiteral("version");

// Qt's window options, which QGuiApplication takes away before the window sees its arguments.
const QStringList QtOptionsWithValue = {
    QStringLiteral("platform"),        QStringLiteral("platformpluginpath"),
    QStringLiteral("platformtheme"),   QStringLiteral("plugin"),
    QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowicon"),
    QStringLiteral("qwindowtitle"),    QStringLiteral("session"),
    QStringLiteral("display"),         QStringLiteral("geometry"),
    QStringLiteral("style"),           QStringLiteral("stylesheet"),
    QStringLiteral("qmljsdebugger")};
const QStringList QtSwitches = {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                QStringLiteral("nograb"), QStringLiteral("dograb"),
                                QStringLiteral("sync")};

const Option *findOption(const Program &program, const QString &name)
{
    const auto it = std::find_if(program.options.cbegin(), program.options.cend(),
                                 [&name](const Option &option) { return option.name == name; });
    return it == program.options.cend() ? nullptr : &*it;
}

} // namespace

QList<ExitStatusText> commonExitStatuses()
{
    return {{Success, QStringLiteral("Erfolg")},
            {Failure, QStringLiteral("Fehler (die Ausgabe sagt, welcher)")},
            {UsageError, QStringLiteral("falscher Aufruf")}};
}

CommandLine CommandLine::parse(const Program &program, const QStringList &arguments)
{
    CommandLine line;
    line.m_program = &program;
    const auto fail = [&line](const QString &message) {
        if (line.m_error.isEmpty())
            line.m_error = message;
    };
    for (qsizetype i = 1; i < arguments.size() && line.m_error.isEmpty(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("-h") || argument == QLatin1String("-?")) {
            line.m_given.append({HelpName, QString()});
            continue;
        }
        if (argument == QLatin1String("-v")) {
            line.m_given.append({VersionName, QString()});
            continue;
        }
        if (!argument.startsWith(QLatin1String("--"))) {
            const QString qtName = argument.mid(1).section(QLatin1Char('='), 0, 0);
            if (argument.startsWith(QLatin1Char('-')) && QtOptionsWithValue.contains(qtName)) {
                line.m_windowOptions.append(argument);
                if (!argument.contains(QLatin1Char('=')) && i + 1 < arguments.size())
                    line.m_windowOptions.append(arguments[++i]);
            } else if (argument.startsWith(QLatin1Char('-')) && QtSwitches.contains(qtName)) {
                line.m_windowOptions.append(argument);
            } else if (argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
                fail(QStringLiteral("unbekannte Option \"%1\"").arg(argument));
            } else {
                fail(QStringLiteral("unerwartetes Argument \"%1\"").arg(argument));
            }
            continue;
        }
        const QString body = argument.mid(2);
        const QString name = body.section(QLatin1Char('='), 0, 0);
        const bool inlineValue = body.contains(QLatin1Char('='));
        if (name == HelpName || name == VersionName) {
            if (inlineValue)
                fail(QStringLiteral("--%1 erwartet keinen Wert").arg(name));
            line.m_given.append({name, QString()});
            continue;
        }
        const Option *option = findOption(program, name);
        if (!option) {
            fail(QStringLiteral("unbekannte Option \"--%1\"").arg(name));
        } else if (option->valueName.isEmpty()) {
            if (inlineValue)
                fail(QStringLiteral("--%1 erwartet keinen Wert").arg(name));
            line.m_given.append({name, QString()});
        } else if (inlineValue) {
            line.m_given.append({name, body.section(QLatin1Char('='), 1)});
        } else if (i + 1 < arguments.size()) {
            line.m_given.append({name, arguments[++i]});
        } else {
            fail(QStringLiteral("--%1 erwartet einen Wert (%2)").arg(name, option->valueName));
        }
    }
    return line;
}

bool CommandLine::isSet(const QString &name) const
{
    return std::any_of(m_given.cbegin(), m_given.cend(),
                       [&name](const auto &given) { return given.first == name; });
}

QString CommandLine::value(const QString &name) const
{
    const QStringList all = values(name);
    return all.isEmpty() ? QString() : all.last();
}

QStringList CommandLine::values(const QString &name) const
{
    QStringList found;
    for (const auto &[given, value] : m_given) {
        if (given == name)
            found.append(value);
    }
    return found;
}

QString CommandLine::value(int id) const
{
    const QStringList all = values(id);
    return all.isEmpty() ? QString() : all.last();
}

QStringList CommandLine::values(int id) const
{
    QStringList found;
    for (const auto &[given, value] : givenIds()) {
        if (given == id)
            found.append(value);
    }
    return found;
}

QList<std::pair<int, QString>> CommandLine::givenIds() const
{
    QList<std::pair<int, QString>> ids;
    for (const auto &[name, value] : m_given) {
        if (const Option *option = findOption(*m_program, name))
            ids.append({option->id, value});
    }
    return ids;
}

bool CommandLine::runsBatch() const
{
    return std::any_of(m_given.cbegin(), m_given.cend(), [this](const auto &given) {
        if (given.first == HelpName || given.first == VersionName)
            return true;
        const Option *option = findOption(*m_program, given.first);
        return option && option->runsBatch;
    });
}

QString helpText(const Program &program)
{
    QList<std::pair<QString, QString>> rows;
    for (const Option &option : program.options) {
        const QString value =
            option.valueName.isEmpty() ? QString() : QLatin1Char(' ') + option.valueName;
        rows.append({QStringLiteral("--") + option.name + value, option.help});
    }
    rows.append({QStringLiteral("-h, --help"), QStringLiteral("Diese Hilfe anzeigen.")});
    rows.append(
        {QStringLiteral("-v, --version"), QStringLiteral("Programmname und Version anzeigen.")});
    qsizetype width = 0;
    for (const auto &row : rows)
        width = std::max(width, row.first.size());

    QString text;
    QTextStream out(&text);
    out << "Aufruf: " << program.name << " [Optionen]\n\n" << program.summary << "\n\nOptionen:\n";
    // Help texts wrap at 80 columns, continued under their own column.
    const qsizetype indent = 2 + width + 2;
    for (const auto &[names, help] : rows) {
        out << "  " << names.leftJustified(width) << ' ';
        qsizetype column = indent - 1;
        for (const QString &word : help.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (column + 1 + word.size() > 80 && column > indent - 1) {
                out << '\n' << QString(indent - 1, QLatin1Char(' '));
                column = indent - 1;
            }
            out << ' ' << word;
            column += 1 + word.size();
        }
        out << '\n';
    }
    out << "\nExit-Status:\n";
    for (const ExitStatusText &status : program.exitStatuses)
        out << "  " << status.status << "  " << status.meaning << '\n';
    out.flush();
    return text;
}

QString versionLine(const Program &program)
{
    const QString line = program.name + QLatin1Char(' ') + projectVersion();
    return program.window.isEmpty() ? line
                                    : line + QStringLiteral(" (Fenster: %1)").arg(program.window);
}

int usageError(QTextStream &err, const Program &program, const QString &message)
{
    err << program.name << ": " << message << Qt::endl
        << program.name << " --help zeigt die Optionen." << Qt::endl;
    return UsageError;
}

std::optional<int> answerCommonOptions(const Program &program, const CommandLine &commandLine,
                                       QTextStream &out, QTextStream &err)
{
    if (!commandLine.error().isEmpty())
        return usageError(err, program, commandLine.error());
    if (commandLine.isSet(HelpName)) {
        out << helpText(program) << Qt::flush;
        return Success;
    }
    if (commandLine.isSet(VersionName)) {
        out << versionLine(program) << Qt::endl;
        return Success;
    }
    if (commandLine.runsBatch() && !commandLine.windowOptions().isEmpty())
        return usageError(err, program,
                          QStringLiteral("\"%1\" gilt nur für das Fenster")
                              .arg(commandLine.windowOptions().first()));
    return std::nullopt;
}

bool answersWithoutContext(const CommandLine &commandLine)
{
    return !commandLine.error().isEmpty() || commandLine.isSet(HelpName) ||
           commandLine.isSet(VersionName);
}

QString LogOptionHelp()
{
    return QStringLiteral("Jede ausgegebene Zeile mit Zeitstempel an DATEI anhängen.");
}

QString TraceOptionHelp()
{
    return QStringLiteral("Jedes gesendete (>) und empfangene (<) Byte mit Uhrzeit hexadezimal "
                          "auf die Standardfehlerausgabe schreiben.");
}

QString projectVersion()
{
    return QStringLiteral(IVEVA_VERSION);
}

} // namespace shell
