#pragma once

#include "ComPort.h"

#include <QTimer>
#include <QWidget>

#include <functional>

class QListWidget;
class WindowLink;

// "Konfiguration hochladen...": uploads "configs.eep" into the gauge whenever it becomes the
// active window, logs every step, and closes itself 1.5 seconds after a success.
class Form3 : public QWidget
{
    Q_OBJECT

public:
    // `portText` reads the main window's `port` field at the start of each upload.
    explicit Form3(std::function<QString()> portText, SerialPort *serialPort = nullptr);

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
    ComPort m_comPort;
    SerialPort &MSComm1;
    WindowLink *m_link = nullptr;
};
