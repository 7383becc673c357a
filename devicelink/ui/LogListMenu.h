#pragma once

#include <QObject>
#include <QStringList>

class QListWidget;
class QPoint;

namespace devicelink {

// What makes a list a log list: long lines wrap within the list's width (the windows keep their
// width fixed; a path wider than the list wraps inside), and a context menu: "Alles kopieren"
// puts every line on the clipboard, "Log speichern…" writes them to a file for support.
class LogListMenu : public QObject
{
    Q_OBJECT

public:
    // Turns on wrapping and adds the menu to `list`; the object lives as the list's child.
    static LogListMenu *attach(QListWidget *list);

    QStringList lines() const;
    // Plain UTF-8 text: a header naming program, version and date, then one line per entry.
    bool saveTo(const QString &path, QString *error) const;

private:
    explicit LogListMenu(QListWidget *list);
    void showMenu(const QPoint &position);
    void copyAll() const;
    void askWhereToSave();

    QListWidget *m_list;
};

} // namespace devicelink
