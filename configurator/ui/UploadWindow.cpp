#include "configurator/ui/Form3.h"

#include "configurator/ConfigUpload.h"
#include "configurator/ui/FormLayout.h"
#include "configurator/ui/OwnActivation.h"
#include "devicelink/ComPort.h"
#include "devicelink/ui/LogListMenu.h"
#include "devicelink/ui/WindowLink.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QListWidget>
#include <QTimer>

namespace configurator {

using namespace devicelink;

Form3::Form3(std::function<QString()> portText, PortFactory ports, QString imagePath)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_portText(std::move(portText)), m_ports(std::move(ports)), m_imagePath(std::move(imagePath))
{
    setObjectName(QStringLiteral("Form3"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Konfiguration hochladen..."));
    auto *frame = new QGroupBox(QStringLiteral("Log:"), this);
    FormLayout::fitCaptions(this, {{frame, 60, 30, 4380, 3810, 4440}});
    List1 = new QListWidget(frame);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setGeometry(8, 18, 276, 228);
    setFixedSize(300, 260);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1500);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &Form3::Timer1_Timer);

    m_link = new WindowLink(this, List1);
    LogListMenu::attach(List1);
    connect(m_link, &WindowLink::idle, this, &Form3::idle);
    new OwnActivation(this, [this] { Form_Activate(); });
}

bool Form3::busy() const
{
    return m_link->busy();
}

bool Form3::uploading() const
{
    return m_link->busy() || Timer1->isActive();
}

void Form3::refuseNewSettings()
{
    m_link->listLine(
        QStringLiteral("Geänderte Einstellungen nicht hochgeladen: erst nach diesem Upload erneut "
                       "hochladen"));
}

void Form3::Form_Activate()
{
    // Nothing new while an upload runs or after a success, whose timer closes the window.
    if (uploading() || !isVisible())
        return;
    const QString portText = m_portText();
    const PortFactory ports = m_ports;
    const QString imagePath = m_imagePath;
    m_link->start<TransferOutcome>(
        [ports, portText, imagePath](const LinkHooks &hooks) {
            return ConfigUpload::run(*ports(), portText, imagePath, hooks);
        },
        [this](TransferOutcome outcome) {
            if (outcome == TransferOutcome::Ok)
                Timer1->start();
        });
}

void Form3::Timer1_Timer()
{
    close();
}

void Form3::closeEvent(QCloseEvent *event)
{
    if (!m_link->mayClose()) {
        event->ignore();
        return;
    }
    Timer1->stop();
    event->accept();
}

} // namespace configurator
