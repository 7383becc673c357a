#include "Form1.h"

#include "ComPort.h"
#include "FileChoice.h"
#include "FirmwareInfo.h"
#include "FlasherTexts.h"
#include "Identification.h"
#include "LogListMenu.h"
#include "PortScan.h"
#include "UpdateClient.h"
#include "UpdateFolder.h"
#include "WindowLink.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The client area of the window: portrait, fixed.
constexpr int ClientWidth = 308;
constexpr int ClientHeight = 425;
// Working controls are parked right of the visible area.
constexpr int OutsideX = ClientWidth + 40;

const QColor FileFoundColour(53, 94, 234);
const QColor FileMissingColour(255, 0, 0);

// "Text (*.a)|*.a|..." as Qt's dialog wants it: "Text (*.a);;...".
QString qtFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList names;
    for (qsizetype i = 0; i < parts.size(); i += 2)
        names.append(parts[i]);
    return names.join(QStringLiteral(";;"));
}

std::optional<QString> showOpenDialog(QWidget *parent, const QString &fileName)
{
    const QString chosen = QFileDialog::getOpenFileName(parent, QStringLiteral("Datei öffnen"),
                                                        fileName, qtFilter(Form1::fileFilter()));
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

std::optional<QString> showSaveDialog(QWidget *parent, const QString &fileName)
{
    const QString chosen = QFileDialog::getSaveFileName(parent, QStringLiteral("Speichern unter"),
                                                        fileName, qtFilter(Form1::fileFilter()));
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

bool askYesNo(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    // German even where Qt's translations are missing.
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Ja"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Nein"));
    return box.exec() == QMessageBox::Yes;
}

} // namespace

Form1::Form1(std::unique_ptr<SerialPort> port, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint),
      m_port(port ? std::move(port) : std::make_unique<ComPort>()),
      m_openFileDialog(showOpenDialog), m_saveFileDialog(showSaveDialog), m_askYesNo(askYesNo)
{
    buildControls();
    m_link = new WindowLink(this, List1);
    devicelink::LogListMenu::attach(List1);
    Form_Load();
}

Form1::~Form1() = default;

QString Form1::fileFilter()
{
    return QStringLiteral("Firmwarefile (*.bin)|*.bin|EEPROM-File (*.eep)|*.eep");
}

void Form1::buildControls()
{
    setWindowTitle(QStringLiteral("DEVAZ update-tool V1.7"));
    setFixedSize(ClientWidth, ClientHeight);

    cmd_Search_File = new QPushButton(QStringLiteral("Datei öffnen"), this);
    cmd_Upload = new QPushButton(QStringLiteral("Firmware hochladen"), this);
    cmd_Upload->setEnabled(false);
    Command2 = new QPushButton(QStringLiteral("EEPROM hochladen"), this);
    Command2->setEnabled(false);

    auto *settingsFrame = new QGroupBox(QStringLiteral("Kommunikationseinstellungen"), this);
    auto *Label2 = new QLabel(QStringLiteral("Port:"), settingsFrame);
    ComboPort = new QComboBox(settingsFrame);
    auto *Label3 = new QLabel(QStringLiteral("Geschwindigkeit:"), settingsFrame);
    Combospeed = new QComboBox(settingsFrame);
    ProgressBar1 = new QProgressBar(settingsFrame);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    Label4 = new QLabel(QStringLiteral("0%"), settingsFrame);
    Label4->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label4->setMinimumWidth(Label4->fontMetrics().horizontalAdvance(QStringLiteral("100 %")));
    Command3 = new QPushButton(QStringLiteral("Firmware-Info"), settingsFrame);
    Command4 = new QPushButton(QStringLiteral("Gerät suchen"), settingsFrame);

    auto *settingsGrid = new QGridLayout(settingsFrame);
    settingsGrid->addWidget(Label2, 0, 0);
    settingsGrid->addWidget(ComboPort, 0, 1, 1, 2);
    settingsGrid->addWidget(Label3, 1, 0);
    settingsGrid->addWidget(Combospeed, 1, 1, 1, 2);
    auto *progressRow = new QHBoxLayout;
    progressRow->addWidget(ProgressBar1, 1);
    progressRow->addWidget(Label4);
    settingsGrid->addLayout(progressRow, 2, 0, 1, 3);
    settingsGrid->addWidget(Command3, 3, 0, 1, 1);
    settingsGrid->addWidget(Command4, 3, 2, 1, 1);
    settingsGrid->setColumnStretch(1, 1);

    auto *logFrame = new QGroupBox(QStringLiteral("Log:"), this);
    List1 = new QListWidget(logFrame);
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    auto *logLayout = new QVBoxLayout(logFrame);
    logLayout->addWidget(List1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    layout->addWidget(cmd_Search_File);
    layout->addWidget(cmd_Upload);
    layout->addWidget(Command2);
    layout->addWidget(settingsFrame);
    layout->addWidget(logFrame, 1);

    // Not part of the layout: they hold working data and lie outside the visible area.
    txt_File = new QLineEdit(this);
    txt_File->setReadOnly(true);
    txt_File->setGeometry(OutsideX, 10, 200, 24);
    lbl_info = new QLabel(QStringLiteral("Bitte Controllerreset auslösen..."), this);
    lbl_info->setGeometry(OutsideX, 40, 200, 24);
    lbl_info->hide();

    connect(cmd_Search_File, &QPushButton::clicked, this, &Form1::cmd_Search_File_Click);
    connect(cmd_Upload, &QPushButton::clicked, this, &Form1::cmd_Upload_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
}

void Form1::Form_Load()
{
    Combospeed->addItems(
        {QStringLiteral("4800"), QStringLiteral("19200"), QStringLiteral("38400")});
    Combospeed->setCurrentIndex(1);

    WindowLink::Operation operation(*m_link);
    if (!operation.started())
        return;
    const AvailablePorts ports = ScanAvailablePorts(*m_port, m_link->hooks());
    ComboPort->addItems(ports.entries);
    List3 = ports.numbers;
    ComboPort->setCurrentIndex(ports.entries.isEmpty() ? -1 : 0);
}

void Form1::cmd_Search_File_Click()
{
    cmd_Upload->setEnabled(false);
    Command2->setEnabled(false);
    // A cancel keeps the name the dialog held before, and the choice runs on with it.
    if (const std::optional<QString> chosen = m_openFileDialog(this, m_dialogFileName))
        m_dialogFileName = *chosen;

    const FileChoice choice = ChooseFile(m_dialogFileName);
    txt_File->setText(choice.fieldText);
    setFileFieldColour(choice.exists ? FileFoundColour : FileMissingColour);
    cmd_Upload->setEnabled(choice.firmwareUsable);
    Command2->setEnabled(choice.eepromUsable);
    m_link->listLine(choice.logLine);
}

void Form1::cmd_Upload_Click()
{
    runUpload(UploadKind::Firmware);
}

void Form1::Command2_Click()
{
    runUpload(UploadKind::Eeprom);
}

// What the firmware information command asks of the window: message boxes, the save dialog
// (the same dialog as the file choice, so it keeps the name chosen last), the wait cursor and
// the buttons that programming disables.
class Form1::FirmwareInfoWindowUi : public FirmwareInfoUi
{
public:
    explicit FirmwareInfoWindowUi(Form1 &window) : m_window(window) {}
    ~FirmwareInfoWindowUi() override
    {
        if (m_waiting)
            QGuiApplication::restoreOverrideCursor();
    }

    bool askYesNo(Question, const QString &prompt, const QString &title) override
    {
        return m_window.m_askYesNo(&m_window, title, prompt);
    }
    QString chooseCopyTarget(const QString &presetName) override
    {
        m_window.m_dialogFileName = presetName;
        const std::optional<QString> chosen =
            m_window.m_saveFileDialog(&m_window, m_window.m_dialogFileName);
        if (!chosen)
            return QString();
        m_window.m_dialogFileName = *chosen;
        return *chosen;
    }
    void setWaitCursor(bool waiting) override
    {
        if (waiting == m_waiting)
            return;
        m_waiting = waiting;
        if (waiting)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QGuiApplication::restoreOverrideCursor();
    }
    void programmingStarts() override
    {
        m_window.cmd_Search_File->setEnabled(false);
        m_window.cmd_Upload->setEnabled(false);
    }

private:
    Form1 &m_window;
    bool m_waiting = false;
};

void Form1::Command3_Click()
{
    WindowLink::Operation operation(*m_link);
    if (!operation.started())
        return;
    Command3->setEnabled(false);

    const QString folder = m_downloadFolder.isEmpty() ? UpdateFolder::pick() : m_downloadFolder;
    UpdateClient client(UpdateClient::configuredBaseUrl(m_updateUrl));
    FirmwareInfoWindowUi ui(*this);
    const LinkHooks hooks = transferHooks();
    FirmwareInfo(*m_port, client, ui, hooks)
        .run(PortNumberFromEntry(ComboPort->currentText()), Combospeed->currentText().toInt(),
             Text1, folder);

    // The command's common ending, whichever way it went.
    cmd_Upload->setEnabled(true);
    Command2->setEnabled(false);
    cmd_Search_File->setEnabled(true);
    lbl_info->hide();
    m_port->close();
    Command3->setEnabled(true);
}

void Form1::Command4_Click()
{
    WindowLink::Operation operation(*m_link);
    if (!operation.started())
        return;
    const SearchResult result = SearchDevice(*m_port, List3, Combospeed->currentText().toInt(),
                                             SearchVariant::flasher(), Text1, m_link->hooks());
    if (result.found())
        ComboPort->setCurrentIndex(result.index);
}

void Form1::runUpload(UploadKind kind)
{
    WindowLink::Operation operation(*m_link);
    if (!operation.started())
        return;
    const bool firmware = kind == UploadKind::Firmware;
    // The transfer keeps the port, speed and file it started with, whatever the lists show later.
    const UploadRequest request{kind, ComboPort->currentText(), Combospeed->currentText().toInt(),
                                txt_File->text()};
    const LinkHooks hooks = transferHooks();
    const UploadOutcome outcome = RunUploadCommand(*m_port, request, hooks, [&] {
        lbl_info->show();
        cmd_Upload->setEnabled(false);
        cmd_Search_File->setEnabled(false);
        if (!firmware)
            Command2->setEnabled(false);
    });

    if (outcome == UploadOutcome::FileMissing) {
        txt_File->setText(FlasherTexts::fileMissingField());
        setFileFieldColour(FileMissingColour);
        cmd_Upload->setEnabled(false);
        if (!firmware)
            Command2->setEnabled(false);
    } else if (TransferRan(outcome)) {
        cmd_Upload->setEnabled(firmware);
        Command2->setEnabled(!firmware);
        cmd_Search_File->setEnabled(true);
        lbl_info->hide();
    }
    // No port, a port that would not open, or an unreadable file: the buttons stay as they were.
}

LinkHooks Form1::transferHooks() const
{
    LinkHooks hooks = m_link->hooks();
    hooks.percent = [this](int percent) {
        Label4->setText(PercentText(percent));
        ProgressBar1->setValue(percent);
    };
    hooks.entryAnswer = [this] { lbl_info->hide(); };
    return hooks;
}

void Form1::setFileFieldColour(const QColor &colour)
{
    QPalette palette = txt_File->palette();
    palette.setColor(QPalette::Text, colour);
    txt_File->setPalette(palette);
}

void Form1::closeEvent(QCloseEvent *event)
{
    // During an operation the close cancels it; the window closes once it has returned.
    if (m_link->mayClose())
        event->accept();
    else
        event->ignore();
}
