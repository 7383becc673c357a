#pragma once

#include "ComPort.h"

#include <QPointer>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class Form1;
class UserDialogs;
class WindowLink;

// "Com-Port wählen": lists the ports that can be opened, searches them for the gauge, and
// stores the chosen port in the main window and the port file when it closes.
class Form2 : public QWidget
{
    Q_OBJECT

public:
    Form2(Form1 *mainWindow, UserDialogs &dialogs, SerialPort *serialPort = nullptr);

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
    ComPort m_comPort;
    SerialPort &MSComm1;
    WindowLink *m_link = nullptr;
    bool m_scanning = false;
};
