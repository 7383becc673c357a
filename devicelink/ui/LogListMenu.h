#pragma once

#include <QObject>
#include <QStringList>

#include <memory>

class QListWidget;
class QPoint;

namespace devicelink {

class WireTrace;

// What makes a list a log list: long lines wrap within the list's width (the windows keep their
// width fixed; a path wider than the list wraps inside), and a context menu: "Alles kopieren"
// puts every line on the clipboard, "Log speichern…" writes them to a file for support, and
// "Verbindung protokollieren" switches the program's wire trace (see offerWireTrace()).
class LogListMenu : public QObject
{
    Q_OBJECT

public:
    // Turns on wrapping and adds the menu to `list`; the object lives as the list's child.
    static LogListMenu *attach(QListWidget *list);
    // The trace that "Verbindung protokollieren" switches in every log list of the program: one
    // trace file for all its windows, as their ports all report to it. main() sets it once.
    static void offerWireTrace(std::shared_ptr<WireTrace> trace);

    QStringList lines() const;
    // Plain UTF-8 text: a header naming program, version and date, then one line per entry.
    bool saveTo(const QString &path, QString *error) const;

private:
    explicit LogListMenu(QListWidget *list);
    void showMenu(const QPoint &position);
    void copyAll() const;
    void askWhereToSave();
    void switchTrace(bool on);
    void addLine(const QString &line);

    QListWidget *m_list;
};

} // namespace devicelink
