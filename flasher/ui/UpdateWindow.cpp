#include "flasher/ui/UpdateWindow.h"

#include "devicelink/ComPort.h"
#include "devicelink/Identification.h"
#include "devicelink/PortScan.h"
#include "devicelink/ui/FileDialog.h"
#include "devicelink/ui/LogListMenu.h"
#include "devicelink/ui/PortListEntries.h"
#include "devicelink/ui/WindowLink.h"
#include "flasher/BatchMode.h"
#include "flasher/FileChoice.h"
#include "flasher/FlasherTexts.h"
#include "flasher/ui/PortList.h"
#include "flasher/update/FirmwareInfo.h"
#include "flasher/update/UpdateClient.h"
#include "flasher/update/UpdateFolder.h"
#include "shell/InstalledProgram.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
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
                        const UpdateWindow::Chosen &chosen)
{
    return makeFileDialog(parent, mode,
                          mode == QFileDialog::AcceptOpen ? QStringLiteral("Datei öffnen")
                                                          : QStringLiteral("Speichern unter"),
                          fileName, qtFilter(UpdateWindow::fileFilter()), chosen);
}

} // namespace

UpdateWindow::UpdateWindow(PortFactory ports, QWidget *parent)
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
    m_link = new WindowLink(this, m_log);
    connect(m_link, &WindowLink::idle, this, &UpdateWindow::idle);
    // The transfer's notices: the percentage in m_percentLabel and the bar, m_resetHint hidden on
    // the bootloader's answer.
    connect(&m_link->jobs(), &devicelink::JobRunner::percent, this, [this](int percent) {
        m_percentLabel->setText(PercentText(percent));
        m_progressBar->setValue(percent);
    });
    connect(&m_link->jobs(), &devicelink::JobRunner::entryAnswer, m_resetHint, &QWidget::hide);
    devicelink::LogListMenu::attach(m_log);
    startUp();
}

void UpdateWindow::addHint(const QString &text)
{
    m_link->listLine(QStringLiteral("Hinweis: ") + text);
}

bool UpdateWindow::busy() const
{
    return m_link->busy();
}

void UpdateWindow::askYesNoBox(const QString &title, const QString &text,
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

UpdateWindow::~UpdateWindow()
{
    // The job may still post to the controls below: it ends before they go.
    m_link->shutDown();
}

QString UpdateWindow::fileFilter()
{
    return QStringLiteral("Firmwarefile (*.bin)|*.bin|EEPROM-File (*.eep)|*.eep");
}

void UpdateWindow::buildControls()
{
    setWindowTitle(BatchMode::program().window);
    setFixedSize(ClientWidth, ClientHeight);

    m_openFileButton = new QPushButton(QStringLiteral("&Datei öffnen"), this);
    m_openFileButton->setObjectName(QStringLiteral("cmd_Search_File"));
    m_firmwareButton = new QPushButton(QStringLiteral("&Firmware hochladen"), this);
    m_firmwareButton->setObjectName(QStringLiteral("cmd_Upload"));
    m_firmwareButton->setEnabled(false);
    m_eepromButton = new QPushButton(QStringLiteral("&EEPROM hochladen"), this);
    m_eepromButton->setObjectName(QStringLiteral("Command2"));
    m_eepromButton->setEnabled(false);

    auto *settingsFrame = new QGroupBox(QStringLiteral("Kommunikationseinstellungen"), this);
    auto *portCaption = new QLabel(QStringLiteral("&Port:"), settingsFrame);
    portCaption->setObjectName(QStringLiteral("Label2"));
    auto *portList = new PortComboBox(settingsFrame);
    portList->setAboutToOpen(
        [this](const PortComboBox::Open &open) { onPortListAboutToOpen(open); });
    m_portList = portList;
    m_portList->setObjectName(QStringLiteral("ComboPort"));
    auto *speedCaption = new QLabel(QStringLiteral("Ge&schwindigkeit:"), settingsFrame);
    speedCaption->setObjectName(QStringLiteral("Label3"));
    m_speedList = new QComboBox(settingsFrame);
    m_speedList->setObjectName(QStringLiteral("Combospeed"));
    portCaption->setBuddy(m_portList);
    speedCaption->setBuddy(m_speedList);
    // A screen reader names a combo box by its entry unless it has a name of its own.
    m_portList->setAccessibleName(QStringLiteral("Port"));
    m_speedList->setAccessibleName(QStringLiteral("Geschwindigkeit"));
    m_progressBar = new QProgressBar(settingsFrame);
    m_progressBar->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);
    m_progressBar->setTextVisible(false);
    m_percentLabel = new QLabel(QStringLiteral("0%"), settingsFrame);
    m_percentLabel->setObjectName(QStringLiteral("Label4"));
    m_percentLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_percentLabel->setMinimumWidth(
        m_percentLabel->fontMetrics().horizontalAdvance(QStringLiteral("100 %")));
    // Under the bar while the transfer waits for the controller reset; its line stays reserved,
    // so nothing moves when it comes and goes.
    m_resetHint = new QLabel(QStringLiteral("Bitte Controllerreset auslösen..."), settingsFrame);
    m_resetHint->setObjectName(QStringLiteral("lbl_info"));
    QSizePolicy hintPolicy = m_resetHint->sizePolicy();
    hintPolicy.setRetainSizeWhenHidden(true);
    m_resetHint->setSizePolicy(hintPolicy);
    m_resetHint->hide();
    m_firmwareInfoButton = new QPushButton(QStringLiteral("Firmware-&Info"), settingsFrame);
    m_firmwareInfoButton->setObjectName(QStringLiteral("Command3"));
    m_searchButton = new QPushButton(QStringLiteral("&Gerät suchen"), settingsFrame);
    m_searchButton->setObjectName(QStringLiteral("Command4"));

    auto *settingsGrid = new QGridLayout(settingsFrame);
    settingsGrid->addWidget(portCaption, 0, 0);
    settingsGrid->addWidget(m_portList, 0, 1, 1, 2);
    settingsGrid->addWidget(speedCaption, 1, 0);
    settingsGrid->addWidget(m_speedList, 1, 1, 1, 2);
    auto *progressRow = new QHBoxLayout;
    progressRow->addWidget(m_progressBar, 1);
    progressRow->addWidget(m_percentLabel);
    settingsGrid->addLayout(progressRow, 2, 0, 1, 3);
    settingsGrid->addWidget(m_resetHint, 3, 0, 1, 3);
    settingsGrid->addWidget(m_firmwareInfoButton, 4, 0, 1, 1);
    settingsGrid->addWidget(m_searchButton, 4, 2, 1, 1);
    settingsGrid->setColumnStretch(1, 1);

    auto *logFrame = new QGroupBox(QStringLiteral("&Log:"), this);
    m_log = new QListWidget(logFrame);
    m_log->setObjectName(QStringLiteral("List1"));
    m_log->setSelectionMode(QAbstractItemView::SingleSelection);
    auto *logLayout = new QVBoxLayout(logFrame);
    logLayout->addWidget(m_log);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    layout->addWidget(m_openFileButton);
    layout->addWidget(m_firmwareButton);
    layout->addWidget(m_eepromButton);
    layout->addWidget(settingsFrame);
    layout->addWidget(logFrame, 1);

    connect(m_openFileButton, &QPushButton::clicked, this, &UpdateWindow::onOpenFileClicked);
    connect(m_firmwareButton, &QPushButton::clicked, this, &UpdateWindow::onFirmwareClicked);
    connect(m_eepromButton, &QPushButton::clicked, this, &UpdateWindow::onEepromClicked);
    connect(m_firmwareInfoButton, &QPushButton::clicked, this,
            &UpdateWindow::onFirmwareInfoClicked);
    connect(m_searchButton, &QPushButton::clicked, this, &UpdateWindow::onSearchClicked);
}

void UpdateWindow::startUp()
{
    m_speedList->addItems(
        {QStringLiteral("4800"), QStringLiteral("19200"), QStringLiteral("38400")});
    m_speedList->setCurrentIndex(1);
    scanPorts();
}

void UpdateWindow::scanPorts(std::function<void()> then)
{
    const PortFactory ports = m_ports;
    m_link->start<AvailablePorts>(
        [ports](const LinkHooks &hooks) {
            AvailablePorts found = ScanAvailablePorts(*ports(), hooks);
            ReportScanProblems(found, hooks);
            return found;
        },
        [this, then = std::move(then)](const AvailablePorts &found) {
            RefillPortList(*m_portList, found);
            if (then && !m_link->closing())
                then();
        });
}

void UpdateWindow::onPortListAboutToOpen(const std::function<void()> &open)
{
    // An adapter plugged in since the last scan shows up when the list is opened. Not during a
    // job: the port it holds would show as busy.
    if (m_link->busy())
        open();
    else
        scanPorts(open);
}

void UpdateWindow::onOpenFileClicked()
{
    m_firmwareButton->setEnabled(false);
    m_eepromButton->setEnabled(false);
    m_openFileDialog(this, m_dialogFileName, [this](const std::optional<QString> &chosen) {
        // A cancel keeps the name the dialog held before, and the choice runs on with it.
        if (chosen)
            m_dialogFileName = *chosen;
        const FileChoice choice = ChooseFile(m_dialogFileName);
        m_chosenFile = choice.fieldText;
        m_firmwareButton->setEnabled(choice.firmwareUsable);
        m_eepromButton->setEnabled(choice.eepromUsable);
        m_link->listLine(choice.logLine);
    });
}

void UpdateWindow::onFirmwareClicked()
{
    runUpload(UploadKind::Firmware);
}

void UpdateWindow::onEepromClicked()
{
    runUpload(UploadKind::Eeprom);
}

// What the firmware information command asks of the window, from the job's thread: message
// boxes and the save dialog (the same dialog as the file choice, so it keeps the name chosen
// last) answered on the window's thread, the wait cursor and the state that programming
// disables. Closing the window answers an open question with No and the save dialog with a
// cancel. The job's runner outlives the job; the window is only touched on its own thread.
class UpdateWindow::FirmwareInfoWindowUi : public FirmwareInfoUi
{
public:
    FirmwareInfoWindowUi(devicelink::JobRunner &jobs, QPointer<UpdateWindow> window)
        : m_jobs(jobs), m_window(std::move(window))
    {}

    bool askYesNo(Question, const QString &prompt, const QString &title) override
    {
        return m_jobs
            .ask(
                [w = m_window, title, prompt](const devicelink::JobRunner::Answer &answer) {
                    if (w)
                        w->m_askYesNo(w, title, prompt, [answer](bool yes) { answer(yes); });
                },
                false)
            .toBool();
    }
    QString chooseCopyTarget(const QString &presetName) override
    {
        return m_jobs
            .ask(
                [w = m_window, presetName](const devicelink::JobRunner::Answer &answer) {
                    if (!w)
                        return;
                    w->m_dialogFileName = presetName;
                    w->m_saveFileDialog(w, w->m_dialogFileName,
                                        [w, answer](const std::optional<QString> &chosen) {
                                            if (chosen && w)
                                                w->m_dialogFileName = *chosen;
                                            answer(chosen.value_or(QString()));
                                        });
                },
                QString())
            .toString();
    }
    void setWaitCursor(bool waiting) override
    {
        m_jobs.post([w = m_window, waiting] {
            if (w)
                w->setWaitCursor(waiting);
        });
    }
    void programmingStarts() override
    {
        m_jobs.post([w = m_window] {
            if (!w)
                return;
            w->m_openFileButton->setEnabled(false);
            w->m_firmwareButton->setEnabled(false);
        });
    }

private:
    devicelink::JobRunner &m_jobs;
    const QPointer<UpdateWindow> m_window;
};

void UpdateWindow::setWaitCursor(bool waiting)
{
    if (waiting == m_waitCursor)
        return;
    m_waitCursor = waiting;
    if (waiting)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}

void UpdateWindow::onFirmwareInfoClicked()
{
    const QString folder =
        m_downloadFolder.isEmpty() ? UpdateFolder::pick(shell::runsInstalled()) : m_downloadFolder;
    const QUrl server = UpdateClient::baseUrlFromText(m_updateUrl);
    if (const QString problem = FirmwareInfo::startProblem(server, folder); !problem.isEmpty()) {
        m_link->listLine(problem);
        return;
    }
    const int comNumber = ChosenPort(*m_portList).comNumber;
    const int baudRate = m_speedList->currentText().toInt();
    const PortFactory ports = m_ports;
    const bool started = m_link->start<FirmwareInfo::Outcome>(
        [jobs = &m_link->jobs(), window = QPointer<UpdateWindow>(this), ports, server, comNumber,
         baudRate, folder, signatures = m_signatures](const LinkHooks &hooks) {
            // The client's network access and the port live on the job's thread.
            UpdateClient client(server);
            FirmwareInfoWindowUi ui(*jobs, window);
            return FirmwareInfo(*ports(), client, ui, hooks, signatures)
                .run(comNumber, baudRate, folder);
        },
        [this](FirmwareInfo::Outcome) {
            setWaitCursor(false);
            // The command's common ending, whichever way it went; the job closed the port.
            m_firmwareButton->setEnabled(true);
            m_eepromButton->setEnabled(false);
            m_openFileButton->setEnabled(true);
            m_resetHint->hide();
            m_firmwareInfoButton->setEnabled(true);
        });
    if (started)
        m_firmwareInfoButton->setEnabled(false);
}

void UpdateWindow::onSearchClicked()
{
    const QList<int> numbers = ListedPortNumbers(*m_portList);
    const int baudRate = m_speedList->currentText().toInt();
    const PortFactory ports = m_ports;
    m_link->start<SearchResult>(
        [ports, numbers, baudRate](const LinkHooks &hooks) {
            return SearchDevice(*ports(), numbers, baudRate, SearchVariant::flasher(), hooks);
        },
        [this](const SearchResult &search) {
            if (search.found())
                m_portList->setCurrentIndex(search.index);
        });
}

void UpdateWindow::runUpload(UploadKind kind)
{
    // The transfer keeps the port, speed and file it started with, whatever the lists show later.
    const UploadRequest request{kind, ChosenPort(*m_portList).comNumber,
                                m_speedList->currentText().toInt(), m_chosenFile};
    const PortFactory ports = m_ports;
    m_link->start<TransferOutcome>(
        [jobs = &m_link->jobs(), window = QPointer<UpdateWindow>(this), ports,
         request](const LinkHooks &hooks) {
            return RunUploadCommand(*ports(), request, hooks, [jobs, window, kind = request.kind] {
                jobs->post([window, kind] {
                    if (window)
                        window->applyState(StateWhileTransferring(kind));
                });
            });
        },
        [this, kind](TransferOutcome outcome) { applyState(StateAfterUpload(kind, outcome)); });
}

void UpdateWindow::applyState(const UploadCommandState &state)
{
    if (state.firmwareUpload)
        m_firmwareButton->setEnabled(*state.firmwareUpload);
    if (state.eepromUpload)
        m_eepromButton->setEnabled(*state.eepromUpload);
    if (state.fileChoice)
        m_openFileButton->setEnabled(*state.fileChoice);
    if (state.resetHint)
        m_resetHint->setVisible(*state.resetHint);
    if (state.fileMissing)
        m_chosenFile = FlasherTexts::fileMissingField();
}

void UpdateWindow::closeEvent(QCloseEvent *event)
{
    // During a job the close cancels it; the window closes once the job has ended.
    if (m_link->mayClose())
        event->accept();
    else
        event->ignore();
}

} // namespace flasher
