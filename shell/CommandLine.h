#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

class QTextStream;

namespace shell {

// The exit statuses of every program; a program lists the ones it uses in its help.
enum ExitStatus : int
{
    Success = 0,
    Failure = 1,
    UsageError = 2,
    NewerFirmware = 3, // the flasher's --update without --yes: a newer firmware is available
};

struct ExitStatusText
{
    int status;
    QString meaning;
};
// 0, 1 and 2 as every program means them.
QList<ExitStatusText> commonExitStatuses();

// One option of a program's command line; the table drives the parser, the choice between
// window and batch mode, and the help.
struct Option
{
    QString name;      // without the leading "--"
    QString valueName; // empty: a switch without a value
    QString help;
    bool runsBatch = false; // given, the program runs without its window
    int id = -1;            // the program's own id of the option (see OptionTable)
};

struct Program
{
    QString name;    // "iveva-flasher"
    QString summary; // the help's first paragraph
    QString window;  // the window's own title and version, which --version names too
    QList<Option> options;
    QList<ExitStatusText> exitStatuses;
};

// A command line read against a program's option table. --help (-h, -?) and --version (-v)
// belong to every program. Qt's own window options (-platform NAME, -style NAME, ...) are set
// aside for the window.
class CommandLine
{
public:
    static CommandLine parse(const Program &program, const QStringList &arguments);

    // Why the arguments do not fit the table; empty when they do.
    const QString &error() const { return m_error; }
    bool isSet(const QString &name) const;
    bool isSet(int id) const { return !values(id).isEmpty(); }
    // The last value given for the option; empty when it was not given.
    QString value(const QString &name) const;
    QString value(int id) const;
    QStringList values(const QString &name) const;
    QStringList values(int id) const;
    // Every option in the order given, with its value (empty for a switch).
    const QList<std::pair<QString, QString>> &given() const { return m_given; }
    // The same by the options' ids (--help and --version have none and are left out).
    QList<std::pair<int, QString>> givenIds() const;
    // True for a batch option, --help or --version: no window opens.
    bool runsBatch() const;
    const QStringList &windowOptions() const { return m_windowOptions; }

private:
    const Program *m_program = nullptr;
    QString m_error;
    QList<std::pair<QString, QString>> m_given;
    QStringList m_windowOptions;
};

QString helpText(const Program &program);
// "iveva-flasher 1.1.0 (Fenster: DEVAZ update-tool V1.7)"
QString versionLine(const Program &program);
// Prints "<program>: <message>" and the hint to --help on `err`; returns UsageError.
int usageError(QTextStream &err, const Program &program, const QString &message);
// Answers what every program answers the same way: a usage error, --help and --version (and
// Qt's window options where no window opens). The exit status when the run ends here.
std::optional<int> answerCommonOptions(const Program &program, const CommandLine &commandLine,
                                       QTextStream &out, QTextStream &err);

// True when the command line is answered without running anything (a usage error, --help or
// --version), so a faulty environment does not stand in its way.
bool answersWithoutContext(const CommandLine &commandLine);

// The help of --log and --trace, which both programs have.
QString LogOptionHelp();
QString TraceOptionHelp();

// The project's version, from the build.
QString projectVersion();

} // namespace shell
