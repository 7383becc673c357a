#pragma once

#include <QObject>
#include <QStringList>

class QListWidget;
class QPoint;

namespace devicelink {

// The context menu of a log list: "Alles kopieren" puts every line on the clipboard,
// "Log speichern…" writes them to a file for support. A line too long for the list shows
// whole as its tooltip.
class LogListMenu : public QObject
{
    Q_OBJECT

public:
    // Adds the menu and the tooltips to `list`; the object lives as the list's child.
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
