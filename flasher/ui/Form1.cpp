#include "flasher/ui/Form1.h"

#include "devicelink/ComPort.h"
#include "devicelink/Identification.h"
#include "devicelink/PortScan.h"
#include "devicelink/ui/FileDialog.h"
#include "devicelink/ui/LogListMenu.h"
#include "devicelink/ui/WindowLink.h"
#include "flasher/BatchMode.h"
#include "flasher/FileChoice.h"
#include "flasher/FlasherTexts.h"
#include "flasher/ui/PortList.h"
#include "flasher/update/FirmwareInfo.h"
#include "flasher/update/UpdateClient.h"
#include "flasher/update/UpdateFolder.h"

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

#include <memory>

namespace flasher {
using namespace devicelink;

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

QFileDialog *fileDialog(QWidget *parent, QFileDialog::AcceptMode mode, const QString &fileName,
                        const Form1::Chosen &chosen)
{
    return makeFileDialog(parent, mode,
                          mode == QFileDialog::AcceptOpen ? QStringLiteral("Datei öffnen")
                                                          : QStringLiteral("Speichern unter"),
                          fileName, qtFilter(Form1::fileFilter()), chosen);
}

} // namespace

Form1::Form1(PortFactory ports, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint), m_ports(std::move(ports))
{
    m_openFileDialog = [this](QWidget *parent, const QString &name, const Chosen &chosen) {
        m_link->openQuestion(fileDialog(parent, QFileDialog::AcceptOpen, name, chosen));
    };
    m_saveFileDialog = [this](QWidget *parent, const QString &name, const Chosen &chosen) {
        m_link->openQuestion(fileDialog(parent, QFileDialog::AcceptSave, name, chosen));
    };
    m_askYesNo = [this](QWidget *, const QString &title, const QString &text,
                        const std::function<void(bool)> &answer) {
        askYesNoBox(title, text, answer);
    };
    buildControls();
    m_link = new WindowLink(this, List1);
    connect(m_link, &WindowLink::idle, this, &Form1::idle);
    // The transfer's notices: the percentage in Label4 and the bar, lbl_info hidden on the
    // bootloader's answer.
    connect(&m_link->jobs(), &devicelink::JobRunner::percent, this, [this](int percent) {
        Label4->setText(PercentText(percent));
        ProgressBar1->setValue(percent);
    });
    connect(&m_link->jobs(), &devicelink::JobRunner::entryAnswer, lbl_info, &QWidget::hide);
    devicelink::LogListMenu::attach(List1);
    Form_Load();
}

void Form1::addHint(const QString &text)
{
    m_link->listLine(QStringLiteral("Hinweis: ") + text);
}

bool Form1::busy() const
{
    return m_link->busy();
}

void Form1::askYesNoBox(const QString &title, const QString &text,
                        const std::function<void(bool)> &answer)
{
    auto *box =
        new QMessageBox(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No, this);
    // German even where Qt's translations are missing.
    box->button(QMessageBox::Yes)->setText(QStringLiteral("&Ja"));
    box->button(QMessageBox::No)->setText(QStringLiteral("&Nein"));
    connect(box, &QMessageBox::finished, this,
            [answer](int result) { answer(result == QMessageBox::Yes); });
    m_link->openQuestion(box);
}

Form1::~Form1() = default;

QString Form1::fileFilter()
{
    return QStringLiteral("Firmwarefile (*.bin)|*.bin|EEPROM-File (*.eep)|*.eep");
}

void Form1::buildControls()
{
    setWindowTitle(BatchMode::program().window);
    setFixedSize(ClientWidth, ClientHeight);

    cmd_Search_File = new QPushButton(QStringLiteral("&Datei öffnen"), this);
    cmd_Search_File->setObjectName(QStringLiteral("cmd_Search_File"));
    cmd_Upload = new QPushButton(QStringLiteral("&Firmware hochladen"), this);
    cmd_Upload->setObjectName(QStringLiteral("cmd_Upload"));
    cmd_Upload->setEnabled(false);
    Command2 = new QPushButton(QStringLiteral("&EEPROM hochladen"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setEnabled(false);

    auto *settingsFrame = new QGroupBox(QStringLiteral("Kommunikationseinstellungen"), this);
    auto *Label2 = new QLabel(QStringLiteral("&Port:"), settingsFrame);
    Label2->setObjectName(QStringLiteral("Label2"));
    auto *portList = new PortComboBox(settingsFrame);
    portList->setAboutToOpen(
        [this](const PortComboBox::Open &open) { ComboPort_AboutToOpen(open); });
    ComboPort = portList;
    ComboPort->setObjectName(QStringLiteral("ComboPort"));
    auto *Label3 = new QLabel(QStringLiteral("Ge&schwindigkeit:"), settingsFrame);
    Label3->setObjectName(QStringLiteral("Label3"));
    Combospeed = new QComboBox(settingsFrame);
    Combospeed->setObjectName(QStringLiteral("Combospeed"));
    Label2->setBuddy(ComboPort);
    Label3->setBuddy(Combospeed);
    // A screen reader names a combo box by its entry unless it has a name of its own.
    ComboPort->setAccessibleName(QStringLiteral("Port"));
    Combospeed->setAccessibleName(QStringLiteral("Geschwindigkeit"));
    ProgressBar1 = new QProgressBar(settingsFrame);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    Label4 = new QLabel(QStringLiteral("0%"), settingsFrame);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label4->setMinimumWidth(Label4->fontMetrics().horizontalAdvance(QStringLiteral("100 %")));
    Command3 = new QPushButton(QStringLiteral("Firmware-&Info"), settingsFrame);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command4 = new QPushButton(QStringLiteral("&Gerät suchen"), settingsFrame);
    Command4->setObjectName(QStringLiteral("Command4"));

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

    auto *logFrame = new QGroupBox(QStringLiteral("&Log:"), this);
    List1 = new QListWidget(logFrame);
    List1->setObjectName(QStringLiteral("List1"));
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
    txt_File->setObjectName(QStringLiteral("txt_File"));
    txt_File->setReadOnly(true);
    txt_File->setFocusPolicy(Qt::NoFocus); // Tab never leaves the visible area
    txt_File->setGeometry(OutsideX, 10, 200, 24);
    lbl_info = new QLabel(QStringLiteral("Bitte Controllerreset auslösen..."), this);
    lbl_info->setObjectName(QStringLiteral("lbl_info"));
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
    scanPorts();
}

void Form1::scanPorts(std::function<void()> then)
{
    const PortFactory ports = m_ports;
    m_link->start<AvailablePorts>(
        [ports](const LinkHooks &hooks) {
            AvailablePorts found = ScanAvailablePorts(*ports(), hooks);
            ReportScanProblems(found, hooks);
            return found;
        },
        [this, then = std::move(then)](const AvailablePorts &found) {
            RefillPortList(*ComboPort, List3, found);
            if (then && !m_link->closing())
                then();
        });
}

void Form1::ComboPort_AboutToOpen(const std::function<void()> &open)
{
    // An adapter plugged in since the last scan shows up when the list is opened. Not during a
    // job: the port it holds would show as busy.
    if (m_link->busy())
        open();
    else
        scanPorts(open);
}

void Form1::cmd_Search_File_Click()
{
    cmd_Upload->setEnabled(false);
    Command2->setEnabled(false);
    m_openFileDialog(this, m_dialogFileName, [this](const std::optional<QString> &chosen) {
        // A cancel keeps the name the dialog held before, and the choice runs on with it.
        if (chosen)
            m_dialogFileName = *chosen;
        const FileChoice choice = ChooseFile(m_dialogFileName);
        txt_File->setText(choice.fieldText);
        setFileFieldColour(choice.exists ? FileFoundColour : FileMissingColour);
        cmd_Upload->setEnabled(choice.firmwareUsable);
        Command2->setEnabled(choice.eepromUsable);
        m_link->listLine(choice.logLine);
    });
}

void Form1::cmd_Upload_Click()
{
    runUpload(UploadKind::Firmware);
}

void Form1::Command2_Click()
{
    runUpload(UploadKind::Eeprom);
}

// What the firmware information command asks of the window, from the job's thread: message
// boxes and the save dialog (the same dialog as the file choice, so it keeps the name chosen
// last) answered on the window's thread, the wait cursor and the buttons that programming
// disables. Closing the window answers an open question with No and the save dialog with a
// cancel.
class Form1::FirmwareInfoWindowUi : public FirmwareInfoUi
{
public:
    explicit FirmwareInfoWindowUi(Form1 &window) : m_window(window) {}

    bool askYesNo(Question, const QString &prompt, const QString &title) override
    {
        Form1 &w = m_window;
        return w.m_link
            ->ask(
                [&w, title, prompt](const devicelink::JobRunner::Answer &answer) {
                    w.m_askYesNo(&w, title, prompt, [answer](bool yes) { answer(yes); });
                },
                false)
            .toBool();
    }
    QString chooseCopyTarget(const QString &presetName) override
    {
        Form1 &w = m_window;
        return w.m_link
            ->ask(
                [&w, presetName](const devicelink::JobRunner::Answer &answer) {
                    w.m_dialogFileName = presetName;
                    w.m_saveFileDialog(&w, w.m_dialogFileName,
                                       [&w, answer](const std::optional<QString> &chosen) {
                                           if (chosen)
                                               w.m_dialogFileName = *chosen;
                                           answer(chosen.value_or(QString()));
                                       });
                },
                QString())
            .toString();
    }
    void setWaitCursor(bool waiting) override
    {
        Form1 &w = m_window;
        w.m_link->jobs().post([&w, waiting] { w.setWaitCursor(waiting); });
    }
    void programmingStarts() override
    {
        Form1 &w = m_window;
        w.m_link->jobs().post([&w] {
            w.cmd_Search_File->setEnabled(false);
            w.cmd_Upload->setEnabled(false);
        });
    }

private:
    Form1 &m_window;
};

void Form1::setWaitCursor(bool waiting)
{
    if (waiting == m_waitCursor)
        return;
    m_waitCursor = waiting;
    if (waiting)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}

void Form1::Command3_Click()
{
    const QString folder = m_downloadFolder.isEmpty() ? UpdateFolder::pick() : m_downloadFolder;
    const QUrl server = UpdateClient::baseUrlFromText(m_updateUrl);
    if (const QString problem = FirmwareInfo::startProblem(server, folder); !problem.isEmpty()) {
        m_link->listLine(problem);
        return;
    }
    const int comNumber = PortNumberFromEntry(ComboPort->currentText());
    const int baudRate = Combospeed->currentText().toInt();
    const PortFactory ports = m_ports;
    const bool started = m_link->start<QByteArray>(
        [this, ports, server, comNumber, baudRate, folder,
         signatures = m_signatures](const LinkHooks &hooks) {
            // The client's network access and the port live on the job's thread.
            UpdateClient client(server);
            FirmwareInfoWindowUi ui(*this);
            QByteArray receiveText;
            FirmwareInfo(*ports(), client, ui, hooks, signatures)
                .run(comNumber, baudRate, receiveText, folder);
            return receiveText;
        },
        [this](const QByteArray &receiveText) {
            Text1 = receiveText;
            setWaitCursor(false);
            // The command's common ending, whichever way it went; the job closed the port.
            cmd_Upload->setEnabled(true);
            Command2->setEnabled(false);
            cmd_Search_File->setEnabled(true);
            lbl_info->hide();
            Command3->setEnabled(true);
        });
    if (started)
        Command3->setEnabled(false);
}

void Form1::Command4_Click()
{
    const QList<int> numbers = List3;
    const int baudRate = Combospeed->currentText().toInt();
    const PortFactory ports = m_ports;
    using Search = std::pair<SearchResult, QByteArray>;
    m_link->start<Search>(
        [ports, numbers, baudRate](const LinkHooks &hooks) {
            Search search;
            search.first = SearchDevice(*ports(), numbers, baudRate, SearchVariant::flasher(),
                                        search.second, hooks);
            return search;
        },
        [this](const Search &search) {
            Text1 = search.second;
            if (search.first.found())
                ComboPort->setCurrentIndex(search.first.index);
        });
}

void Form1::runUpload(UploadKind kind)
{
    // The transfer keeps the port, speed and file it started with, whatever the lists show later.
    const UploadRequest request{kind, ComboPort->currentText(), Combospeed->currentText().toInt(),
                                txt_File->text()};
    const PortFactory ports = m_ports;
    devicelink::JobRunner &jobs = m_link->jobs();
    m_link->start<TransferOutcome>(
        [this, ports, request, &jobs](const LinkHooks &hooks) {
            return RunUploadCommand(*ports(), request, hooks, [this, &jobs, kind = request.kind] {
                jobs.post([this, kind] { applyButtons(ButtonsWhileTransferring(kind)); });
            });
        },
        [this, kind](TransferOutcome outcome) { applyButtons(ButtonsAfterUpload(kind, outcome)); });
}

void Form1::applyButtons(const UploadButtons &buttons)
{
    if (buttons.firmware)
        cmd_Upload->setEnabled(*buttons.firmware);
    if (buttons.eeprom)
        Command2->setEnabled(*buttons.eeprom);
    if (buttons.fileChoice)
        cmd_Search_File->setEnabled(*buttons.fileChoice);
    if (buttons.infoShown)
        lbl_info->setVisible(*buttons.infoShown);
    if (buttons.fileMissing) {
        txt_File->setText(FlasherTexts::fileMissingField());
        setFileFieldColour(FileMissingColour);
    }
}

void Form1::setFileFieldColour(const QColor &colour)
{
    QPalette palette = txt_File->palette();
    palette.setColor(QPalette::Text, colour);
    txt_File->setPalette(palette);
}

void Form1::closeEvent(QCloseEvent *event)
{
    // During a job the close cancels it; the window closes once the job has ended.
    if (m_link->mayClose())
        event->accept();
    else
        event->ignore();
}

} // namespace flasher
