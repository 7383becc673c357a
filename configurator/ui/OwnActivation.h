#pragma once

#include <QObject>

#include <functional>

class QWidget;

namespace configurator {

// Calls `activated` when `window` becomes the configurator's active window: on its first
// activation after each show(), and whenever the user comes back to it from another window of
// the configurator. Coming back from another program (Alt+Tab) is not such an activation, although
// Qt activates the window then too; it would rerun an upload or a port scan.
class OwnActivation : public QObject
{
public:
    OwnActivation(QWidget *window, std::function<void()> activated);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<void()> m_activated;
    bool m_shownAfresh = false;
};

} // namespace configurator
