#pragma once

#include "configurator/core/ConfigSettings.h"
#include "configurator/core/PortFile.h"
#include "configurator/ui/FormLayout.h"
#include "configurator/ui/UserDialogs.h"
#include "devicelink/SerialPort.h"
#include "shell/RunContext.h"

#include <QMainWindow>
#include <QPointer>

#include <array>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;

namespace configurator {

class CharacteristicWindow;
class Form2;
class Form3;

// The configurator's main window: every gauge setting as a drop-down list or a check box, the
// menu commands for image files, the port and the upload, and the chosen port number.
class Form1 : public QMainWindow
{
    Q_OBJECT

public:
    // The port folder, poll time and working folder (port.dll, configs.eep) come from
    // `context`.
    Form1(UserDialogs &dialogs, const shell::RunContext &context, QWidget *parent = nullptr);
    ~Form1() override;

    // The selections of the window, which are the settings.
    ConfigSettings settings() const;
    void showSettings(const ConfigSettings &settings);

    // The port dialog's close stores its port here: caption, `port` and the port file.
    void storePort(quint8 portNumber);

    // The control that shows a setting.
    QWidget *control(ConfigSettings::Setting setting) const;
    Form2 *portDialog() const;
    Form3 *uploadWindow() const;
    CharacteristicWindow *characteristicWindow() const;

private slots:
    void Form_Load();
    void open_Click();
    void save_Click();
    void uploadconfig_Click();
    void comport_Click();
    void ende_Click();
    void kennlinie_Click();

private:
    void buildControls();
    void buildMenus();
    QGroupBox *addFrame(const QString &caption, int left, int top, int width, int height);
    QComboBox *addList(QWidget *frame, ConfigSettings::Setting setting, int left, int top,
                       int width);
    QCheckBox *addCheck(QGroupBox *frame, ConfigSettings::Setting setting, const QString &caption,
                        int left, int top, int width, int height);
    QLabel *addLabel(QWidget *frame, const QString &caption, int left, int top, int maxRight);

    // The controls; each has its own name as objectName ("warn_lam(0)" for a member of an array).
    QLineEdit *port = nullptr; // hidden: the current COM port number as decimal text

    std::array<QComboBox *, 2> warn_lam{};
    QComboBox *warn_egt = nullptr;
    QComboBox *warn_boost = nullptr;
    QComboBox *daem = nullptr;
    QComboBox *kontrast = nullptr;
    QComboBox *slot = nullptr;
    QCheckBox *Check1 = nullptr;
    QComboBox *slot3sel = nullptr;
    QCheckBox *Check2 = nullptr;
    QCheckBox *Check3 = nullptr;
    QComboBox *unterdruckschwelle = nullptr;
    QCheckBox *da = nullptr;
    std::array<QComboBox *, 2> da_lam{};
    std::array<QComboBox *, 2> da_volt{};

    QAction *open = nullptr;
    QAction *save = nullptr;
    QAction *ende = nullptr;
    QAction *comport = nullptr;
    QAction *uploadconfig = nullptr;
    QAction *kennlinie = nullptr;

    CommonDialog openfile;

    QList<FormLayout::Caption> m_captions;
    PortFile portFile() const;
    QString imagePath() const;
    devicelink::PortFactory comPorts() const;

    UserDialogs &m_dialogs;
    const shell::RunContext m_context;
    QPointer<Form2> m_form2;
    QPointer<Form3> m_form3;
    QPointer<CharacteristicWindow> m_characteristic;
};

} // namespace configurator
