#include "devicelink/ui/WindowLink.h"

#include <QCoreApplication>
#include <QListWidget>
#include <QTimer>
#include <QWidget>

namespace devicelink {

WindowLink::WindowLink(QWidget *window, QListWidget *logList)
    : QObject(window), m_window(window), m_logList(logList)
{}

WindowLink::Operation::Operation(WindowLink &link) : m_link(link), m_started(!link.m_busy)
{
    if (m_started)
        m_link.m_busy = true;
    else
        m_link.listLine(QStringLiteral("Der Comport ist belegt: ein Vorgang läuft noch"));
}

WindowLink::Operation::~Operation()
{
    if (!m_started)
        return;
    m_link.m_busy = false;
    if (m_link.m_closeRequested && m_link.m_window)
        QTimer::singleShot(0, m_link.m_window, &QWidget::close);
}

LinkHooks WindowLink::hooks() const
{
    LinkHooks hooks;
    hooks.log = [this](const QString &line, LinkHooks::LineStyle style) {
        if (style == LinkHooks::LineStyle::Scrolled)
            appendScrolled(line);
        else
            listLine(line);
    };
    // Add_Item pumps by itself; the operations pump during their waits.
    hooks.pump = [] { QCoreApplication::processEvents(); };
    hooks.cancelled = [this] { return m_closeRequested; };
    return hooks;
}

void WindowLink::Add_Item(const QString &line) const
{
    appendScrolled(line);
    QCoreApplication::processEvents();
}

void WindowLink::appendScrolled(const QString &line) const
{
    if (!m_logList)
        return;
    m_logList->addItem(line);
    m_logList->setCurrentRow(m_logList->count() - 1);
    m_logList->scrollToBottom();
    m_logList->clearSelection();
}

void WindowLink::listLine(const QString &line) const
{
    if (m_logList)
        m_logList->addItem(line);
}

bool WindowLink::mayClose()
{
    if (!m_busy)
        return true;
    m_closeRequested = true;
    return false;
}

} // namespace devicelink
