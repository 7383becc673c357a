#pragma once

#include "devicelink/ComPort.h"
#include "devicelink/SerialPort.h"

#include <QWidget>

#include <functional>

class QListWidget;
class QTimer;

namespace devicelink {
class WindowLink;
}

namespace configurator {

// "Konfiguration hochladen...": uploads "configs.eep" into the gauge whenever it becomes the
// active window, logs every step, and closes itself 1.5 seconds after a success. The upload
// runs as a job on a worker thread.
//
// The old window's names live on as objectNames, which tests find the controls by: Form3 is this
// window, List1 m_log, Timer1 m_closeTimer; Form_Activate is onActivated().
class UploadWindow : public QWidget
{
    Q_OBJECT

public:
    // `portNumber` gives the main window's port at the start of each upload; every upload makes
    // its port with `ports` and sends the image file at `imagePath`.
    UploadWindow(std::function<int()> portNumber, devicelink::PortFactory ports, QString imagePath);
    ~UploadWindow() override;

    bool busy() const;
    // An upload runs, or its success is about to close the window.
    bool uploading() const;
    // Logs that changed settings were not uploaded because this upload had them read already.
    void refuseNewSettings();

signals:
    // An upload has ended and the window stays open (for now).
    void idle();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void onActivated();

    QListWidget *m_log = nullptr;
    QTimer *m_closeTimer = nullptr;
    std::function<int()> m_portNumber;
    devicelink::PortFactory m_ports;
    const QString m_imagePath; // configs.eep in the working folder
    devicelink::WindowLink *m_link = nullptr;
};

} // namespace configurator
