#pragma once

#include <QObject>
#include <QStringList>

#include <memory>

class QListWidget;
class QPoint;

namespace devicelink {

class WireTrace;

// The context menu of a log list: "Alles kopieren" puts every line on the clipboard,
// "Log speichern…" writes them to a file for support, and "Verbindung protokollieren" switches
// the program's wire trace (see offerWireTrace()). A line too long for the list shows whole as
// its tooltip.
class LogListMenu : public QObject
{
    Q_OBJECT

public:
    // Adds the menu and the tooltips to `list`; the object lives as the list's child.
    static LogListMenu *attach(QListWidget *list);
    // The trace that "Verbindung protokollieren" switches in every log list of the program: one
    // trace file for all its windows, as their ports all report to it. main() sets it once.
    static void offerWireTrace(std::shared_ptr<WireTrace> trace);

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
    void switchTrace(bool on);
    void addLine(const QString &line);

    QListWidget *m_list;
};

} // namespace devicelink
