#include "Form3.h"

#include "ConfigUpload.h"
#include "FormLayout.h"
#include "LogListMenu.h"
#include "WindowLink.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QListWidget>

Form3::Form3(std::function<QString()> portText, SerialPort *serialPort)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_portText(std::move(portText)), MSComm1(serialPort ? *serialPort : m_comPort)
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

    Timer1.setInterval(1500);
    Timer1.setSingleShot(true);
    connect(&Timer1, &QTimer::timeout, this, &Form3::Timer1_Timer);

    m_link = new WindowLink(this, List1);
    devicelink::LogListMenu::attach(List1);
}

bool Form3::uploading() const
{
    return m_link->busy();
}

bool Form3::event(QEvent *event)
{
    // The upload runs from the event loop, not inside the activation's own delivery.
    if (event->type() == QEvent::WindowActivate)
        QTimer::singleShot(0, this, &Form3::Form_Activate);
    return QWidget::event(event);
}

void Form3::Form_Activate()
{
    // Nothing new while an upload runs or after a success, whose timer closes the window.
    if (m_link->busy() || Timer1.isActive() || !isVisible())
        return;
    WindowLink::Operation operation(*m_link);
    const ConfigUpload::Outcome outcome =
        ConfigUpload::run(MSComm1, m_portText(), ConfigUpload::imageFileName(), m_link->hooks());
    if (outcome == ConfigUpload::Outcome::Succeeded && !m_link->hooks().isCancelled())
        Timer1.start();
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
    Timer1.stop();
    event->accept();
}
