#include "configurator/ui/MainWindow.h"

#include "devicelink/ComPort.h"
#include "devicelink/Printable.h"

#include "configurator/BatchMode.h"
#include "configurator/ConfigUpload.h"
#include "configurator/core/ConfigImage.h"
#include "configurator/core/PortFile.h"
#include "configurator/core/ValueTable.h"
#include "configurator/ui/CharacteristicWindow.h"
#include "configurator/ui/FormLayout.h"
#include "configurator/ui/PortDialog.h"
#include "configurator/ui/UploadWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>

namespace configurator {

using namespace devicelink;

using FormLayout::px;
using S = ConfigSettings;

namespace {

// Client area and the standard heights, in twips.
constexpr int ClientWidth = 4605;
constexpr int ClientHeight = 5670;
constexpr int ListHeight = 315;
constexpr int CheckHeight = 255;
constexpr int FrameHeight = 645;
// A frame's border, and the least space between a caption and the control to its right.
constexpr int FrameBorder = 60;
constexpr int CaptionGap = 30;

QString comportCaption(int portNumber)
{
    return QStringLiteral("&Com-Port: ") + QString::number(portNumber);
}

} // namespace

MainWindow::MainWindow(UserDialogs &dialogs, const shell::RunContext &context, QWidget *parent)
    : QMainWindow(parent), m_fileDialog(dialogs), m_dialogs(dialogs), m_context(context)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(BatchMode::program().window);
    // A fixed dialog frame without minimize and maximize buttons.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    buildMenus();
    buildControls();
    setFixedSize(px(ClientWidth), px(ClientHeight) + menuBar()->sizeHint().height());
    showStartState();
}

MainWindow::~MainWindow()
{
    // The other windows are not children of this one: they stay open after "beenden", and go
    // when the program ends.
    delete m_portDialog;
    delete m_uploadWindow;
}

PortDialog *MainWindow::portDialog() const
{
    return m_portDialog;
}

UploadWindow *MainWindow::uploadWindow() const
{
    return m_uploadWindow;
}

CharacteristicWindow *MainWindow::characteristicWindow() const
{
    return m_characteristic;
}

void MainWindow::buildMenus()
{
    QMenu *datei = menuBar()->addMenu(QStringLiteral("&Datei"));
    m_openAction = datei->addAction(QStringLiteral("&öffnen"), QKeySequence(Qt::CTRL | Qt::Key_O),
                                    this, &MainWindow::onOpenTriggered);
    m_openAction->setObjectName(QStringLiteral("open"));
    m_saveAction =
        datei->addAction(QStringLiteral("&speichern"), QKeySequence(Qt::CTRL | Qt::Key_S), this,
                         &MainWindow::onSaveTriggered);
    m_saveAction->setObjectName(QStringLiteral("save"));
    datei->addSeparator();
    m_quitAction = datei->addAction(QStringLiteral("&beenden"), this, &MainWindow::onQuitTriggered);
    m_quitAction->setObjectName(QStringLiteral("ende"));

    QMenu *kommunikation = menuBar()->addMenu(QStringLiteral("&Kommunikation"));
    m_portAction =
        kommunikation->addAction(QStringLiteral("&Com-Port:"), this, &MainWindow::onPortTriggered);
    m_portAction->setObjectName(QStringLiteral("comport"));
    kommunikation->addSeparator();
    m_uploadAction =
        kommunikation->addAction(QStringLiteral("Konfiguration &hochladen"),
                                 QKeySequence(Qt::Key_F1), this, &MainWindow::onUploadTriggered);
    m_uploadAction->setObjectName(QStringLiteral("uploadconfig"));

    QMenu *ansicht = menuBar()->addMenu(QStringLiteral("&Ansicht"));
    m_characteristicAction = ansicht->addAction(QStringLiteral("&Kennlinie Analogausgang…"),
                                                QKeySequence(Qt::CTRL | Qt::Key_K), this,
                                                &MainWindow::onCharacteristicTriggered);
    m_characteristicAction->setObjectName(QStringLiteral("kennlinie"));
}

QComboBox *MainWindow::addList(QWidget *frame, S::Setting setting, int left, int top, int width)
{
    auto *list = new QComboBox(frame);
    list->setObjectName(S::controlName(setting));
    list->setEditable(false); // pick only, no typing
    for (const ValueEntry &entry : ValueTable::entries(setting))
        list->addItem(entry.text);
    list->setGeometry(FormLayout::rect(left, top, width, ListHeight));
    // A screen reader names a combo box by its entry unless it has a name of its own: the
    // frame's caption, or what the caller gives it instead.
    if (const auto *groupBox = qobject_cast<QGroupBox *>(frame))
        list->setAccessibleName(groupBox->title());
    m_controls[setting] = list;
    return list;
}

QCheckBox *MainWindow::addCheck(QGroupBox *frame, S::Setting setting, const QString &caption,
                                int left, int top, int width, int height)
{
    auto *box = new QCheckBox(caption, frame);
    box->setObjectName(S::controlName(setting));
    // A file may set the third state; a click leaves it for good.
    connect(box, &QCheckBox::clicked, box, [box] {
        if (box->checkState() != Qt::PartiallyChecked)
            box->setTristate(false);
    });
    // Up to the frame's inner edge.
    m_captions.append({box, left, top, width, height, frame->width() * 15 - FrameBorder});
    m_controls[setting] = box;
    return box;
}

QGroupBox *MainWindow::addFrame(const QString &caption, int left, int top, int width, int height)
{
    auto *frame = new QGroupBox(caption, centralWidget());
    frame->setGeometry(FormLayout::rect(left, top, width, height));
    m_captions.append({frame, left, top, width, height, left + width});
    return frame;
}

QLabel *MainWindow::addLabel(QWidget *frame, const QString &caption, int left, int top,
                             int maxRight)
{
    auto *label = new QLabel(caption, frame);
    m_captions.append({label, left, top, 0, 0, maxRight});
    return label;
}

void MainWindow::buildControls()
{
    setCentralWidget(new QWidget(this));

    addList(addFrame(QStringLiteral("Warnung Lambda (wenn <)"), 30, 60, 2265, FrameHeight),
            S::LambdaWarnBelow, 120, 240, 1965);
    addList(addFrame(QStringLiteral("Warnung Lambda (wenn >)"), 2340, 60, 2235, FrameHeight),
            S::LambdaWarnAbove, 120, 240, 1965);
    addList(addFrame(QStringLiteral("Warnung Abgastemperatur"), 30, 750, 2235, FrameHeight),
            S::EgtWarn, 120, 240, 1965);
    addList(addFrame(QStringLiteral("Warnung Ladedruck"), 2340, 750, 2235, FrameHeight),
            S::BoostWarn, 120, 240, 1965);
    addList(addFrame(QStringLiteral("Anzeige verzögern um:"), 30, 1440, 2235, FrameHeight),
            S::DisplayDelay, 150, 240, 1935);
    addList(addFrame(QStringLiteral("Kontrast"), 2340, 1440, 2235, FrameHeight), S::Contrast, 150,
            240, 1935);

    QGroupBox *options = addFrame(QStringLiteral("weitere Optionen"), 30, 2130, 4545, 1965);
    QLabel *startValue =
        addLabel(options, QStringLiteral("&Startwert:"), 360, 270, 1080 - CaptionGap);
    QComboBox *startValueList = addList(options, S::StartValue, 1080, 210, 2955);
    startValue->setBuddy(startValueList);
    startValueList->setAccessibleName(QStringLiteral("Startwert"));
    addCheck(options, S::FourthPositionShown, QStringLiteral("4. Displayposition anzeigen:"), 90,
             540, 4395, CheckHeight);
    addList(options, S::FourthPositionContent, 360, 780, 3675)
        ->setAccessibleName(QStringLiteral("4. Displayposition"));
    addCheck(options, S::SwitchToMeasuredValue,
             QStringLiteral("bei Warnwert überschritten, zum Messwert umschalten"), 90, 1110, 4275,
             CheckHeight);
    addCheck(options, S::NoLeanWarningUnderVacuum,
             QStringLiteral("Bei Unterdruck keine Magergemischwarnung"), 90, 1350, 4275,
             CheckHeight);
    QLabel *threshold =
        addLabel(options, QStringLiteral("&Unterdruckschwelle:"), 390, 1650, 1890 - CaptionGap);
    QComboBox *thresholdList = addList(options, S::VacuumThreshold, 1890, 1590, 2115);
    threshold->setBuddy(thresholdList);
    thresholdList->setAccessibleName(QStringLiteral("Unterdruckschwelle"));

    QGroupBox *analog = addFrame(QStringLiteral("Analog-Ausgang"), 30, 4140, 4545, 1485);
    addCheck(analog, S::AnalogConverterFitted, QStringLiteral("Digital-/ Analogwandler verbaut"),
             120, 270, 3405, 195);
    addLabel(analog, QStringLiteral("Lambda:"), 390, 540, 1740 - CaptionGap);
    addLabel(analog, QStringLiteral("--->> Spannung:"), 1740, 540, 4545 - FrameBorder);
    // The column heads stand for the lists of both rows: each list names its point too.
    addList(analog, S::AnalogLambda0, 390, 780, 1245)
        ->setAccessibleName(QStringLiteral("Lambda P0"));
    addList(analog, S::AnalogVoltage0, 1710, 780, 1245)
        ->setAccessibleName(QStringLiteral("Spannung P0"));
    addList(analog, S::AnalogLambda1, 390, 1110, 1245)
        ->setAccessibleName(QStringLiteral("Lambda P1"));
    addList(analog, S::AnalogVoltage1, 1710, 1110, 1245)
        ->setAccessibleName(QStringLiteral("Spannung P1"));

    FormLayout::fitCaptions(this, m_captions);

    const QList<S::Setting> order{S::EgtWarn,
                                  S::BoostWarn,
                                  S::LambdaWarnAbove,
                                  S::LambdaWarnBelow,
                                  S::DisplayDelay,
                                  S::FourthPositionShown,
                                  S::SwitchToMeasuredValue,
                                  S::NoLeanWarningUnderVacuum,
                                  S::VacuumThreshold,
                                  S::Contrast,
                                  S::FourthPositionContent,
                                  S::StartValue,
                                  S::AnalogConverterFitted,
                                  S::AnalogLambda0,
                                  S::AnalogLambda1,
                                  S::AnalogVoltage0,
                                  S::AnalogVoltage1};
    for (S::Setting setting : order)
        control(setting)->setFocusPolicy(Qt::StrongFocus);
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(control(order[i - 1]), control(order[i]));
}

QWidget *MainWindow::control(S::Setting setting) const
{
    const auto found = m_controls.find(setting);
    return found == m_controls.end() ? nullptr : found->second;
}

ConfigSettings MainWindow::settings() const
{
    ConfigSettings result;
    for (S::Setting setting : S::allSettings()) {
        if (S::kind(setting) == S::Kind::List)
            result.setValue(setting, static_cast<QComboBox *>(control(setting))->currentIndex());
        else
            result.setValue(setting, S::fromQtCheckState(
                                         static_cast<QCheckBox *>(control(setting))->checkState()));
    }
    return result;
}

void MainWindow::showSettings(const ConfigSettings &settings)
{
    for (S::Setting setting : S::allSettings()) {
        const int value = settings.value(setting);
        if (S::kind(setting) == S::Kind::List) {
            static_cast<QComboBox *>(control(setting))->setCurrentIndex(value);
        } else {
            auto *box = static_cast<QCheckBox *>(control(setting));
            const Qt::CheckState state = S::toQtCheckState(value);
            box->setTristate(state == Qt::PartiallyChecked);
            box->setCheckState(state);
        }
    }
    if (m_characteristic)
        m_characteristic->refresh();
}

void MainWindow::showStartState()
{
    m_portNumber = portFile().readPort();
    m_portAction->setText(comportCaption(m_portNumber));
    showSettings(ConfigSettings());
}

void MainWindow::onOpenTriggered()
{
    m_fileDialog.ShowOpen(this, [this](const QString &name) {
        if (name.isEmpty())
            return;
        ConfigSettings current = settings();
        ApplyConfigImage(name, current);
        showSettings(current);
    });
}

void MainWindow::onSaveTriggered()
{
    m_fileDialog.ShowSave(this, [this](const QString &name) {
        if (name.isEmpty())
            return; // cancelled: nothing is written
        // The settings as they are when the user has chosen the name.
        if (!WriteConfigImageFile(name, settings()))
            m_dialogs.warning(this, QStringLiteral("speichern"),
                              QStringLiteral("Die Datei \"%1\" konnte nicht geschrieben werden.")
                                  .arg(devicelink::printable(QDir::toNativeSeparators(name))));
    });
}

void MainWindow::onUploadTriggered()
{
    // The running upload has read configs.eep already: rewriting it now would upload nothing
    // new while the upload's success is reported, or hand it a half-written file.
    if (m_uploadWindow && m_uploadWindow->uploading()) {
        m_uploadWindow->refuseNewSettings();
        m_uploadWindow->raise();
        return;
    }
    if (!WriteConfigImageFile(imagePath(), settings())) {
        m_dialogs.warning(
            this, QStringLiteral("Konfiguration &hochladen"),
            QStringLiteral("Die Datei \"%1\" im Ordner \"%2\" konnte nicht "
                           "geschrieben werden. Es wird nichts hochgeladen.")
                .arg(ConfigUpload::imageFileName(),
                     devicelink::printable(QDir::toNativeSeparators(m_context.workingFolder))));
        return;
    }
    if (!m_uploadWindow) {
        QPointer<MainWindow> self(this);
        m_uploadWindow = new UploadWindow([self] { return self ? self->m_portNumber : 0; },
                                          comPorts(), imagePath());
    }
    // An open upload window becomes active again, which starts its next upload after a failure.
    m_uploadWindow->show();
    m_uploadWindow->raise();
    m_uploadWindow->activateWindow();
}

void MainWindow::onPortTriggered()
{
    if (!m_portDialog)
        m_portDialog = new PortDialog(this, m_dialogs, comPorts());
    m_portDialog->show();
    m_portDialog->raise();
    m_portDialog->activateWindow();
}

void MainWindow::onQuitTriggered()
{
    close();
}

void MainWindow::onCharacteristicTriggered()
{
    if (!m_characteristic) {
        m_characteristic = new CharacteristicWindow([this] { return settings(); }, this);
        // Live: any of the five analog controls, whoever changes it.
        const auto refresh = [this] { m_characteristic->refresh(); };
        connect(static_cast<QCheckBox *>(control(S::AnalogConverterFitted)),
                &QCheckBox::stateChanged, m_characteristic, refresh);
        for (S::Setting setting :
             {S::AnalogLambda0, S::AnalogLambda1, S::AnalogVoltage0, S::AnalogVoltage1})
            connect(static_cast<QComboBox *>(control(setting)), &QComboBox::currentIndexChanged,
                    m_characteristic, refresh);
    }
    m_characteristic->show();
    m_characteristic->raise();
    m_characteristic->activateWindow();
}

void MainWindow::storePort(quint8 portNumber)
{
    m_portNumber = portNumber;
    m_portAction->setText(comportCaption(m_portNumber));
    // A port file that cannot be written keeps its old port; the window shows the new one.
    portFile().writePort(portNumber);
}

PortFile MainWindow::portFile() const
{
    return PortFile(QDir(m_context.workingFolder).filePath(PortFile::defaultFileName()));
}

QString MainWindow::imagePath() const
{
    return QDir(m_context.workingFolder).filePath(ConfigUpload::imageFileName());
}

PortFactory MainWindow::comPorts() const
{
    return [link = m_context.link] { return std::make_unique<ComPort>(link); };
}

} // namespace configurator
