#pragma once

#include <QObject>
#include <QStringList>

class QListWidget;
class QPoint;

namespace devicelink {

// What makes a list a log list: long lines wrap within the list's width (the windows keep their
// width fixed), and a context menu: "Alles kopieren" puts every line on the clipboard,
// "Log speichern…" writes them to a file for support. A line cut all the same (a path without
// blanks) shows whole as its tooltip.
class LogListMenu : public QObject
{
    Q_OBJECT

public:
    // Turns on wrapping, adds the menu and the tooltips to `list`; the object lives as the
    // list's child.
    static LogListMenu *attach(QListWidget *list);

    QStringList lines() const;
    // Plain UTF-8 text: a header naming program, version and date, then one line per entry.
    bool saveTo(const QString &path, QString *error) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit LogListMenu(QListWidget *list);
    void showMenu(const QPoint &position);
    void copyAll() const;
    void askWhereToSave();

    QListWidget *m_list;
};

} // namespace devicelink
