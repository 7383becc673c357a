#pragma once

#include "devicelink/ComPort.h"

#include <QPointer>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace devicelink {
class WindowLink;
}

namespace configurator {

class Form1;
class UserDialogs;

// "Com-Port wählen": lists the ports that can be opened, searches them for the gauge, and
// stores the chosen port in the main window and the port file when it closes.
class Form2 : public QWidget
{
    Q_OBJECT

public:
    Form2(Form1 *mainWindow, UserDialogs &dialogs, devicelink::SerialPort *serialPort = nullptr);

    QLabel *Label1 = nullptr; // status line
    QLabel *Label2 = nullptr;
    QComboBox *ComboPort = nullptr;
    QPushButton *Command4 = nullptr;
    QListWidget *List3 = nullptr; // hidden: the port numbers, parallel to ComboPort
    QLineEdit *Text1 = nullptr;   // hidden: what the device search read

    bool scanning() const { return m_scanning; }

public slots:
    void Form_Activate();
    void Command4_Click();

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Unload();

    QPointer<Form1> m_form1;
    UserDialogs &m_dialogs;
    devicelink::ComPort m_comPort;
    devicelink::SerialPort &MSComm1;
    devicelink::WindowLink *m_link = nullptr;
    bool m_scanning = false;
};

} // namespace configurator
