#pragma once

#include "devicelink/ComPort.h"
#include "devicelink/SerialPort.h"

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
// stores the chosen port in the main window and the port file when it closes. The scan and the
// search run as jobs on a worker thread.
class Form2 : public QWidget
{
    Q_OBJECT

public:
    // Every scan and search makes its port with `ports`.
    Form2(Form1 *mainWindow, UserDialogs &dialogs, devicelink::PortFactory ports);

    bool busy() const;

signals:
    // A scan or search has ended and the dialog stays open.
    void idle();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Activate();
    void Command4_Click();
    void Form_Unload();
    void showStatus(const QString &text);

    QLabel *Label1 = nullptr; // status line
    QLabel *Label2 = nullptr;
    QComboBox *ComboPort = nullptr;
    QPushButton *Command4 = nullptr;
    QListWidget *List3 = nullptr; // hidden: the port numbers, parallel to ComboPort
    QLineEdit *Text1 = nullptr;   // hidden: what the device search read

    QPointer<Form1> m_form1;
    UserDialogs &m_dialogs;
    devicelink::PortFactory m_ports;
    devicelink::WindowLink *m_link = nullptr;
};

} // namespace configurator
