#pragma once

#include "configurator/core/ConfigSettings.h"
#include "configurator/core/PortFile.h"
#include "configurator/ui/FormLayout.h"
#include "configurator/ui/UserDialogs.h"
#include "devicelink/SerialPort.h"
#include "shell/RunContext.h"

#include <QMainWindow>
#include <QPointer>

#include <map>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;

namespace configurator {

class CharacteristicWindow;
class PortDialog;
class UploadWindow;

// The configurator's main window: every gauge setting as a drop-down list or a check box, the
// menu commands for image files, the port and the upload, and the chosen port number.
//
// The old window's names live on as objectNames, which tests find the controls by: Form1 is this
// window; the setting controls (warn_lam(0), Check1, da, ...) are m_controls; the menu commands
// open, save, ende, comport, uploadconfig and kennlinie are m_openAction, m_saveAction,
// m_quitAction, m_portAction, m_uploadAction and m_characteristicAction, run by
// onOpenTriggered() and so on (Form_Load: showStartState()); openfile is m_fileDialog, and the
// hidden field port is m_portNumber.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // The port folder, poll time and working folder (port.dll, configs.eep) come from
    // `context`.
    MainWindow(UserDialogs &dialogs, const shell::RunContext &context, QWidget *parent = nullptr);
    ~MainWindow() override;

    // The selections of the window, which are the settings.
    ConfigSettings settings() const;
    void showSettings(const ConfigSettings &settings);

    // The port dialog's close stores its port here: caption, m_portNumber and the port file.
    void storePort(quint8 portNumber);

    // The control that shows a setting.
    QWidget *control(ConfigSettings::Setting setting) const;
    PortDialog *portDialog() const;
    UploadWindow *uploadWindow() const;
    CharacteristicWindow *characteristicWindow() const;

private slots:
    void onOpenTriggered();
    void onSaveTriggered();
    void onUploadTriggered();
    void onPortTriggered();
    void onQuitTriggered();
    void onCharacteristicTriggered();

private:
    void showStartState();
    void buildControls();
    void buildMenus();
    QGroupBox *addFrame(const QString &caption, int left, int top, int width, int height);
    QComboBox *addList(QWidget *frame, ConfigSettings::Setting setting, int left, int top,
                       int width);
    QCheckBox *addCheck(QGroupBox *frame, ConfigSettings::Setting setting, const QString &caption,
                        int left, int top, int width, int height);
    QLabel *addLabel(QWidget *frame, const QString &caption, int left, int top, int maxRight);

    int m_portNumber = 0; // what port.dll holds, or the port chosen since; uploads use it

    // The control of each setting; its objectName is the setting's control name
    // ("warn_lam(0)" for a member of an array).
    std::map<ConfigSettings::Setting, QWidget *> m_controls;

    QAction *m_openAction = nullptr;
    QAction *m_saveAction = nullptr;
    QAction *m_quitAction = nullptr;
    QAction *m_portAction = nullptr;
    QAction *m_uploadAction = nullptr;
    QAction *m_characteristicAction = nullptr;

    CommonDialog m_fileDialog;

    QList<FormLayout::Caption> m_captions;
    PortFile portFile() const;
    QString imagePath() const;
    devicelink::PortFactory comPorts() const;

    UserDialogs &m_dialogs;
    const shell::RunContext m_context;
    QPointer<PortDialog> m_portDialog;
    QPointer<UploadWindow> m_uploadWindow;
    QPointer<CharacteristicWindow> m_characteristic;
};

} // namespace configurator
