#pragma once

#include "devicelink/LinkHooks.h"

#include <QObject>
#include <QPointer>

class QListWidget;
class QWidget;

namespace devicelink {

// Ties device operations to a window: log lines go to its list, its events run while an
// operation waits, a second command on the busy port is refused, and closing the window
// cancels the running operation and closes the window once the operation has returned (a
// window is never destroyed while its own code is on the stack).
class WindowLink : public QObject
{
    Q_OBJECT

public:
    WindowLink(QWidget *window, QListWidget *logList);

    // Marks the window's port busy for its lifetime. started() is false, with a log line, when
    // another operation of the window already holds the port.
    class Operation
    {
    public:
        explicit Operation(WindowLink &link);
        ~Operation();
        Operation(const Operation &) = delete;
        Operation &operator=(const Operation &) = delete;
        bool started() const { return m_started; }

    private:
        WindowLink &m_link;
        bool m_started;
    };

    // Hooks for an operation: Add_Item and listed lines into the log list, the event pump,
    // and the cancel that closing the window raises.
    LinkHooks hooks() const;

    // Appends a line, scrolls to it and lets pending events run.
    void Add_Item(const QString &line) const;
    // Appends a line without scrolling or running events.
    void listLine(const QString &line) const;

    bool busy() const { return m_busy; }
    // For the window's close event: true when it may close now. Otherwise the running
    // operation is cancelled and the window closes by itself once it has ended.
    bool mayClose();

private:
    void appendScrolled(const QString &line) const;

    QPointer<QWidget> m_window;
    QPointer<QListWidget> m_logList;
    bool m_busy = false;
    bool m_closeRequested = false;
};

} // namespace devicelink
