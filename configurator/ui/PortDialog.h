#pragma once

#include "devicelink/ComPort.h"
#include "devicelink/SerialPort.h"

#include <QPointer>
#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;

namespace devicelink {
class WindowLink;
}

namespace configurator {

class MainWindow;
class UserDialogs;

// "Com-Port wählen": lists the ports that can be opened, searches them for the gauge, and
// stores the chosen port in the main window and the port file when it closes. The scan and the
// search run as jobs on a worker thread.
//
// The old window's names live on as objectNames, which tests find the controls by: Form2 is this
// dialog, Label1 m_status, Label2 the "Port:" caption, ComboPort m_portList, Command4
// m_searchButton (Command4_Click: onSearchClicked()); Form_Activate is onActivated(), Form_Unload
// storeChosenPort().
class PortDialog : public QWidget
{
    Q_OBJECT

public:
    // Every scan and search makes its port with `ports`.
    PortDialog(MainWindow *mainWindow, UserDialogs &dialogs, devicelink::PortFactory ports);
    ~PortDialog() override;

    bool busy() const;

signals:
    // A scan or search has ended and the dialog stays open.
    void idle();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void onActivated();
    void onSearchClicked();
    void storeChosenPort();
    void showStatus(const QString &text);

    QLabel *m_status = nullptr; // status line
    QComboBox *m_portList = nullptr;
    QPushButton *m_searchButton = nullptr;

    QPointer<MainWindow> m_mainWindow;
    UserDialogs &m_dialogs;
    devicelink::PortFactory m_ports;
    devicelink::WindowLink *m_link = nullptr;
};

} // namespace configurator
