#pragma once

#include "shell/CommandLine.h"

#include <QList>
#include <QString>

#include <algorithm>
#include <functional>
#include <optional>
#include <utility>

namespace shell {

// One option of a program, declared once: its id, what the parser and the help know of it,
// how its value is read into the run, and what it does.
template <typename Id, typename Run> struct OptionRow
{
    Id id;
    QString name;      // without the leading "--"
    QString valueName; // empty: a switch without a value
    QString help;
    bool runsBatch = true; // given, the program runs without its window
    // Takes the value into the run (a switch gets an empty one); the usage error when it does
    // not fit, empty when it does.
    std::function<QString(Run &run, const QString &value)> read;
    // What the option does once every option has been read, with its exit status; empty for an
    // option that only sets something.
    std::function<int(Run &run, const QString &value)> handle;
    // Given at most once, and only together with this option.
    std::optional<Id> partOf;
    bool once = false; // given at most once
};

// A read that keeps the option's value in a member of the run, or (for a switch) sets a flag.
template <typename Run> auto Keep(QString Run::*member)
{
    return [member](Run &run, const QString &value) {
        run.*member = value;
        return QString();
    };
}
template <typename Run> auto Set(bool Run::*flag)
{
    return [flag](Run &run, const QString &) {
        run.*flag = true;
        return QString();
    };
}

// --trace, the same in both programs.
template <typename Id, typename Run> OptionRow<Id, Run> TraceRow(Id id, bool Run::*flag)
{
    return {id, QStringLiteral("trace"), QString(), TraceOptionHelp(), true, Set(flag)};
}

// A program's option table. The command line is parsed against it, it decides between window
// and batch mode, it makes up --help, and it reads the options into a run and names the ones
// that act.
template <typename Id, typename Run> class OptionTable
{
public:
    using Row = OptionRow<Id, Run>;

    // `program` without options: the rows supply them.
    OptionTable(Program program, QList<Row> rows) : m_program(std::move(program)), m_rows(rows)
    {
        for (const Row &row : m_rows)
            m_program.options.append(
                {row.name, row.valueName, row.help, row.runsBatch, static_cast<int>(row.id)});
    }

    const Program &program() const { return m_program; }

    // Reads every given option into `run`, row by row, each row's values in the order given; the
    // first usage error, empty when there is none.
    QString read(const CommandLine &commandLine, Run &run) const
    {
        for (const Row &row : m_rows) {
            const QStringList values = commandLine.values(static_cast<int>(row.id));
            if (values.isEmpty())
                continue;
            if (row.partOf && (values.size() > 1 || !commandLine.isSet(int(*row.partOf))))
                return QStringLiteral("--%1 gehört genau einmal zu --%2")
                    .arg(row.name, this->row(*row.partOf).name);
            if (row.once && values.size() > 1)
                return QStringLiteral("--%1 nur einmal").arg(row.name);
            if (!row.read)
                continue;
            for (const QString &value : values) {
                if (const QString error = row.read(run, value); !error.isEmpty())
                    return error;
            }
        }
        return {};
    }

    // The given options that act, in the order given, each with its value.
    QList<std::pair<const Row *, QString>> actions(const CommandLine &commandLine) const
    {
        QList<std::pair<const Row *, QString>> found;
        for (const std::pair<int, QString> &given : commandLine.givenIds()) {
            const auto it = std::find_if(m_rows.cbegin(), m_rows.cend(), [&given](const Row &row) {
                return int(row.id) == given.first;
            });
            if (it != m_rows.cend() && it->handle)
                found.append({&*it, given.second});
        }
        return found;
    }

    const Row &row(Id id) const
    {
        return *std::find_if(m_rows.cbegin(), m_rows.cend(),
                             [id](const Row &row) { return row.id == id; });
    }

private:
    Program m_program;
    QList<Row> m_rows;
};

} // namespace shell
