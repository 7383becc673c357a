#include "configurator/ui/OwnActivation.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace configurator {

namespace {

// Whether one of the program's windows had the focus. Qt announces a new focus window only
// after the window's activation event, so during that event this still tells where the user
// came from: nowhere (another program) or one of ours. A window destroyed while it had the
// focus leaves none behind either.
class FocusWatch : public QObject
{
public:
    FocusWatch() : QObject(qApp), m_focus(QGuiApplication::focusWindow())
    {
        connect(qApp, &QGuiApplication::focusWindowChanged, this,
                [this](QWindow *window) { m_focus = window; });
    }

    bool ownWindowFocused() const { return !m_focus.isNull(); }

private:
    QPointer<QWindow> m_focus;
};

const FocusWatch &focusWatch()
{
    static const FocusWatch *watch = new FocusWatch; // ends with the application, its parent
    return *watch;
}

} // namespace

OwnActivation::OwnActivation(QWidget *window, std::function<void()> activated)
    : QObject(window), m_activated(std::move(activated))
{
    focusWatch();
    window->installEventFilter(this);
}

bool OwnActivation::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show && !event->spontaneous()) {
        m_shownAfresh = true;
    } else if (event->type() == QEvent::WindowActivate &&
               (m_shownAfresh || focusWatch().ownWindowFocused())) {
        m_shownAfresh = false;
        m_activated();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace configurator
