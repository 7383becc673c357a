#include "configurator/ui/UploadWindow.h"

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

UploadWindow::UploadWindow(std::function<int()> portNumber, PortFactory ports, QString imagePath)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_portNumber(std::move(portNumber)), m_ports(std::move(ports)),
      m_imagePath(std::move(imagePath))
{
    setObjectName(QStringLiteral("Form3"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Konfiguration hochladen..."));
    auto *frame = new QGroupBox(QStringLiteral("Log:"), this);
    FormLayout::fitCaptions(this, {{frame, 60, 30, 4380, 3810, 4440}});
    m_log = new QListWidget(frame);
    m_log->setObjectName(QStringLiteral("List1"));
    m_log->setGeometry(8, 18, 276, 228);
    setFixedSize(300, 260);

    m_closeTimer = new QTimer(this);
    m_closeTimer->setObjectName(QStringLiteral("Timer1"));
    m_closeTimer->setInterval(1500);
    m_closeTimer->setSingleShot(true);
    connect(m_closeTimer, &QTimer::timeout, this, &QWidget::close);

    m_link = new WindowLink(this, m_log);
    LogListMenu::attach(m_log);
    connect(m_link, &WindowLink::idle, this, &UploadWindow::idle);
    new OwnActivation(this, [this] { onActivated(); });
}

UploadWindow::~UploadWindow()
{
    m_link->shutDown();
}

bool UploadWindow::busy() const
{
    return m_link->busy();
}

bool UploadWindow::uploading() const
{
    return m_link->busy() || m_closeTimer->isActive();
}

void UploadWindow::refuseNewSettings()
{
    m_link->listLine(
        QStringLiteral("Geänderte Einstellungen nicht hochgeladen: erst nach diesem Upload erneut "
                       "hochladen"));
}

void UploadWindow::onActivated()
{
    // Nothing new while an upload runs or after a success, whose timer closes the window.
    if (uploading() || !isVisible())
        return;
    const int portNumber = m_portNumber();
    const PortFactory ports = m_ports;
    const QString imagePath = m_imagePath;
    m_link->start<TransferOutcome>(
        [ports, portNumber, imagePath](const LinkHooks &hooks) {
            return ConfigUpload::run(*ports(), portNumber, imagePath, hooks);
        },
        [this](TransferOutcome outcome) {
            if (outcome == TransferResult::Sent)
                m_closeTimer->start();
        });
}

void UploadWindow::closeEvent(QCloseEvent *event)
{
    if (!m_link->mayClose()) {
        event->ignore();
        return;
    }
    m_closeTimer->stop();
    event->accept();
}

} // namespace configurator
