#pragma once

#include "devicelink/ComPort.h"

#include <QTimer>
#include <QWidget>

#include <functional>

class QListWidget;

namespace devicelink {
class WindowLink;
}

namespace configurator {

// "Konfiguration hochladen...": uploads "configs.eep" into the gauge whenever it becomes the
// active window, logs every step, and closes itself 1.5 seconds after a success.
class Form3 : public QWidget
{
    Q_OBJECT

public:
    // `portText` reads the main window's `port` field at the start of each upload.
    explicit Form3(std::function<QString()> portText, devicelink::SerialPort *serialPort = nullptr);

    QListWidget *List1 = nullptr;
    QTimer Timer1;

    bool uploading() const;

public slots:
    void Form_Activate();
    void Timer1_Timer();

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    std::function<QString()> m_portText;
    devicelink::ComPort m_comPort;
    devicelink::SerialPort &MSComm1;
    devicelink::WindowLink *m_link = nullptr;
};

} // namespace configurator
