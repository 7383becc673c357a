#include "configurator/ui/Form1.h"

#include "devicelink/ComPort.h"
#include "devicelink/Printable.h"

#include "configurator/BatchMode.h"
#include "configurator/ConfigUpload.h"
#include "configurator/core/ConfigImage.h"
#include "configurator/core/PortFile.h"
#include "configurator/core/ValueTable.h"
#include "configurator/ui/CharacteristicWindow.h"
#include "configurator/ui/Form2.h"
#include "configurator/ui/Form3.h"
#include "configurator/ui/FormLayout.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
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

QString comportCaption(const QString &number)
{
    return QStringLiteral("&Com-Port: ") + number;
}

} // namespace

Form1::Form1(UserDialogs &dialogs, const shell::RunContext &context, QWidget *parent)
    : QMainWindow(parent), openfile(dialogs), m_dialogs(dialogs), m_context(context)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(BatchMode::program().window);
    // A fixed dialog frame without minimize and maximize buttons.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    buildMenus();
    buildControls();
    setFixedSize(px(ClientWidth), px(ClientHeight) + menuBar()->sizeHint().height());
    Form_Load();
}

Form1::~Form1()
{
    // The other windows are not children of this one: they stay open after "beenden", and go
    // when the program ends.
    delete m_form2;
    delete m_form3;
}

Form2 *Form1::portDialog() const
{
    return m_form2;
}

Form3 *Form1::uploadWindow() const
{
    return m_form3;
}

CharacteristicWindow *Form1::characteristicWindow() const
{
    return m_characteristic;
}

void Form1::buildMenus()
{
    QMenu *datei = menuBar()->addMenu(QStringLiteral("&Datei"));
    open = datei->addAction(QStringLiteral("&öffnen"), QKeySequence(Qt::CTRL | Qt::Key_O), this,
                            &Form1::open_Click);
    open->setObjectName(QStringLiteral("open"));
    save = datei->addAction(QStringLiteral("&speichern"), QKeySequence(Qt::CTRL | Qt::Key_S), this,
                            &Form1::save_Click);
    save->setObjectName(QStringLiteral("save"));
    datei->addSeparator();
    ende = datei->addAction(QStringLiteral("&beenden"), this, &Form1::ende_Click);
    ende->setObjectName(QStringLiteral("ende"));

    QMenu *kommunikation = menuBar()->addMenu(QStringLiteral("&Kommunikation"));
    comport = kommunikation->addAction(QStringLiteral("&Com-Port:"), this, &Form1::comport_Click);
    comport->setObjectName(QStringLiteral("comport"));
    kommunikation->addSeparator();
    uploadconfig =
        kommunikation->addAction(QStringLiteral("Konfiguration &hochladen"),
                                 QKeySequence(Qt::Key_F1), this, &Form1::uploadconfig_Click);
    uploadconfig->setObjectName(QStringLiteral("uploadconfig"));

    QMenu *ansicht = menuBar()->addMenu(QStringLiteral("&Ansicht"));
    kennlinie =
        ansicht->addAction(QStringLiteral("&Kennlinie Analogausgang…"),
                           QKeySequence(Qt::CTRL | Qt::Key_K), this, &Form1::kennlinie_Click);
    kennlinie->setObjectName(QStringLiteral("kennlinie"));
}

QComboBox *Form1::addList(QWidget *frame, S::Setting setting, int left, int top, int width)
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
    return list;
}

QCheckBox *Form1::addCheck(QGroupBox *frame, S::Setting setting, const QString &caption, int left,
                           int top, int width, int height)
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
    return box;
}

QGroupBox *Form1::addFrame(const QString &caption, int left, int top, int width, int height)
{
    auto *frame = new QGroupBox(caption, centralWidget());
    frame->setGeometry(FormLayout::rect(left, top, width, height));
    m_captions.append({frame, left, top, width, height, left + width});
    return frame;
}

QLabel *Form1::addLabel(QWidget *frame, const QString &caption, int left, int top, int maxRight)
{
    auto *label = new QLabel(caption, frame);
    m_captions.append({label, left, top, 0, 0, maxRight});
    return label;
}

void Form1::buildControls()
{
    setCentralWidget(new QWidget(this));

    warn_lam[1] =
        addList(addFrame(QStringLiteral("Warnung Lambda (wenn <)"), 30, 60, 2265, FrameHeight),
                S::LambdaWarnBelow, 120, 240, 1965);
    warn_lam[0] =
        addList(addFrame(QStringLiteral("Warnung Lambda (wenn >)"), 2340, 60, 2235, FrameHeight),
                S::LambdaWarnAbove, 120, 240, 1965);
    warn_egt =
        addList(addFrame(QStringLiteral("Warnung Abgastemperatur"), 30, 750, 2235, FrameHeight),
                S::EgtWarn, 120, 240, 1965);
    warn_boost =
        addList(addFrame(QStringLiteral("Warnung Ladedruck"), 2340, 750, 2235, FrameHeight),
                S::BoostWarn, 120, 240, 1965);
    daem = addList(addFrame(QStringLiteral("Anzeige verzögern um:"), 30, 1440, 2235, FrameHeight),
                   S::DisplayDelay, 150, 240, 1935);
    kontrast = addList(addFrame(QStringLiteral("Kontrast"), 2340, 1440, 2235, FrameHeight),
                       S::Contrast, 150, 240, 1935);

    QGroupBox *options = addFrame(QStringLiteral("weitere Optionen"), 30, 2130, 4545, 1965);
    QLabel *startValue =
        addLabel(options, QStringLiteral("&Startwert:"), 360, 270, 1080 - CaptionGap);
    slot = addList(options, S::StartValue, 1080, 210, 2955);
    startValue->setBuddy(slot);
    slot->setAccessibleName(QStringLiteral("Startwert"));
    Check1 = addCheck(options, S::FourthPositionShown,
                      QStringLiteral("4. Displayposition anzeigen:"), 90, 540, 4395, CheckHeight);
    slot3sel = addList(options, S::FourthPositionContent, 360, 780, 3675);
    slot3sel->setAccessibleName(QStringLiteral("4. Displayposition"));
    Check2 = addCheck(options, S::SwitchToMeasuredValue,
                      QStringLiteral("bei Warnwert überschritten, zum Messwert umschalten"), 90,
                      1110, 4275, CheckHeight);
    Check3 = addCheck(options, S::NoLeanWarningUnderVacuum,
                      QStringLiteral("Bei Unterdruck keine Magergemischwarnung"), 90, 1350, 4275,
                      CheckHeight);
    QLabel *threshold =
        addLabel(options, QStringLiteral("&Unterdruckschwelle:"), 390, 1650, 1890 - CaptionGap);
    unterdruckschwelle = addList(options, S::VacuumThreshold, 1890, 1590, 2115);
    threshold->setBuddy(unterdruckschwelle);
    unterdruckschwelle->setAccessibleName(QStringLiteral("Unterdruckschwelle"));

    QGroupBox *analog = addFrame(QStringLiteral("Analog-Ausgang"), 30, 4140, 4545, 1485);
    da = addCheck(analog, S::AnalogConverterFitted,
                  QStringLiteral("Digital-/ Analogwandler verbaut"), 120, 270, 3405, 195);
    addLabel(analog, QStringLiteral("Lambda:"), 390, 540, 1740 - CaptionGap);
    addLabel(analog, QStringLiteral("--->> Spannung:"), 1740, 540, 4545 - FrameBorder);
    da_lam[0] = addList(analog, S::AnalogLambda0, 390, 780, 1245);
    da_volt[0] = addList(analog, S::AnalogVoltage0, 1710, 780, 1245);
    da_lam[1] = addList(analog, S::AnalogLambda1, 390, 1110, 1245);
    da_volt[1] = addList(analog, S::AnalogVoltage1, 1710, 1110, 1245);
    // The column heads stand for the lists of both rows: each list names its point too.
    for (int i = 0; i < 2; ++i) {
        da_lam[i]->setAccessibleName(QStringLiteral("Lambda P%1").arg(i));
        da_volt[i]->setAccessibleName(QStringLiteral("Spannung P%1").arg(i));
    }

    FormLayout::fitCaptions(this, m_captions);

    // Kept out of sight, as the other windows only read and write its text.
    port = new QLineEdit(centralWidget());
    port->setObjectName(QStringLiteral("port"));
    port->setGeometry(-2000, -2000, 60, 20);
    port->hide();

    const QList<QWidget *> order{warn_egt,   warn_boost, warn_lam[0], warn_lam[1],        daem,
                                 Check1,     Check2,     Check3,      unterdruckschwelle, kontrast,
                                 slot3sel,   slot,       da,          da_lam[0],          da_lam[1],
                                 da_volt[0], da_volt[1]};
    for (QWidget *w : order)
        w->setFocusPolicy(Qt::StrongFocus);
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

QWidget *Form1::control(S::Setting setting) const
{
    switch (setting) {
    case S::LambdaWarnBelow:
        return warn_lam[1];
    case S::LambdaWarnAbove:
        return warn_lam[0];
    case S::EgtWarn:
        return warn_egt;
    case S::BoostWarn:
        return warn_boost;
    case S::DisplayDelay:
        return daem;
    case S::Contrast:
        return kontrast;
    case S::StartValue:
        return slot;
    case S::FourthPositionShown:
        return Check1;
    case S::FourthPositionContent:
        return slot3sel;
    case S::SwitchToMeasuredValue:
        return Check2;
    case S::NoLeanWarningUnderVacuum:
        return Check3;
    case S::VacuumThreshold:
        return unterdruckschwelle;
    case S::AnalogConverterFitted:
        return da;
    case S::AnalogLambda0:
        return da_lam[0];
    case S::AnalogLambda1:
        return da_lam[1];
    case S::AnalogVoltage0:
        return da_volt[0];
    case S::AnalogVoltage1:
        return da_volt[1];
    }
    return nullptr;
}

ConfigSettings Form1::settings() const
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

void Form1::showSettings(const ConfigSettings &settings)
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

void Form1::Form_Load()
{
    const QString n = QString::number(portFile().readPort());
    port->setText(n);
    comport->setText(comportCaption(n));
    showSettings(ConfigSettings());
}

void Form1::open_Click()
{
    openfile.ShowOpen(this, [this](const QString &name) {
        if (name.isEmpty())
            return;
        ConfigSettings current = settings();
        ApplyConfigImage(name, current);
        showSettings(current);
    });
}

void Form1::save_Click()
{
    openfile.ShowSave(this, [this](const QString &name) {
        if (name.isEmpty())
            return; // cancelled: nothing is written
        // The settings as they are when the user has chosen the name.
        if (!WriteConfigImageFile(name, settings()))
            m_dialogs.warning(this, QStringLiteral("speichern"),
                              QStringLiteral("Die Datei \"%1\" konnte nicht geschrieben werden.")
                                  .arg(devicelink::printable(QDir::toNativeSeparators(name))));
    });
}

void Form1::uploadconfig_Click()
{
    // The running upload has read configs.eep already: rewriting it now would upload nothing
    // new while the upload's success is reported, or hand it a half-written file.
    if (m_form3 && m_form3->uploading()) {
        m_form3->refuseNewSettings();
        m_form3->raise();
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
    if (!m_form3) {
        QPointer<Form1> self(this);
        m_form3 = new Form3([self] { return self ? self->port->text() : QString(); }, comPorts(),
                            imagePath());
    }
    // An open upload window becomes active again, which starts its next upload after a failure.
    m_form3->show();
    m_form3->raise();
    m_form3->activateWindow();
}

void Form1::comport_Click()
{
    if (!m_form2)
        m_form2 = new Form2(this, m_dialogs, comPorts());
    m_form2->show();
    m_form2->raise();
    m_form2->activateWindow();
}

void Form1::ende_Click()
{
    close();
}

void Form1::kennlinie_Click()
{
    if (!m_characteristic) {
        m_characteristic = new CharacteristicWindow([this] { return settings(); }, this);
        // Live: any of the five analog controls, whoever changes it.
        const auto refresh = [this] { m_characteristic->refresh(); };
        connect(da, &QCheckBox::stateChanged, m_characteristic, refresh);
        for (QComboBox *list : {da_lam[0], da_lam[1], da_volt[0], da_volt[1]})
            connect(list, &QComboBox::currentIndexChanged, m_characteristic, refresh);
    }
    m_characteristic->show();
    m_characteristic->raise();
    m_characteristic->activateWindow();
}

void Form1::storePort(quint8 portNumber)
{
    const QString n = QString::number(portNumber);
    comport->setText(comportCaption(n));
    port->setText(n);
    // A port file that cannot be written keeps its old port; the window shows the new one.
    portFile().writePort(portNumber);
}

PortFile Form1::portFile() const
{
    return PortFile(QDir(m_context.workingFolder).filePath(PortFile::defaultFileName()));
}

QString Form1::imagePath() const
{
    return QDir(m_context.workingFolder).filePath(ConfigUpload::imageFileName());
}

PortFactory Form1::comPorts() const
{
    return [link = m_context.link] { return std::make_unique<ComPort>(link); };
}

} // namespace configurator
