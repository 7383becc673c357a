#include "configurator/ui/PortDialog.h"

#include "configurator/ui/FormLayout.h"
#include "configurator/ui/MainWindow.h"
#include "configurator/ui/OwnActivation.h"
#include "configurator/ui/UserDialogs.h"
#include "devicelink/BootloaderTransfer.h"
#include "devicelink/ComPort.h"
#include "devicelink/Identification.h"
#include "devicelink/PortScan.h"
#include "devicelink/Printable.h"
#include "devicelink/ui/PortListEntries.h"
#include "devicelink/ui/WindowLink.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>

#include <optional>

#include <utility>

namespace configurator {

using namespace devicelink;

using FormLayout::px;

namespace {

const QString ScanText = QStringLiteral("verfügbare COM-Ports suchen, bitte warten....");

} // namespace

PortDialog::PortDialog(MainWindow *mainWindow, UserDialogs &dialogs, PortFactory ports)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_mainWindow(mainWindow), m_dialogs(dialogs), m_ports(std::move(ports))
{
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Com-Port wählen"));

    auto *frame = new QGroupBox(QStringLiteral("Kommunikationseinstellungen"), this);
    frame->setGeometry(FormLayout::rect(120, 90, 4260, 1380));
    auto *portCaption = new QLabel(QStringLiteral("&Port:"), frame);
    portCaption->setObjectName(QStringLiteral("Label2"));

    m_portList = new QComboBox(frame);
    m_portList->setObjectName(QStringLiteral("ComboPort"));
    m_portList->setGeometry(FormLayout::rect(960, 330, 3120, 315));
    portCaption->setBuddy(m_portList);
    m_portList->setAccessibleName(QStringLiteral("Port")); // else the entry is its name
    m_searchButton = new QPushButton(QStringLiteral("&Gerät suchen"), frame);
    m_searchButton->setObjectName(QStringLiteral("Command4"));
    m_searchButton->setGeometry(FormLayout::rect(960, 810, 3120, 375));
    m_searchButton->setEnabled(false);
    connect(m_searchButton, &QPushButton::clicked, this, &PortDialog::onSearchClicked);

    m_status = new QLabel(ScanText, this);
    m_status->setObjectName(QStringLiteral("Label1"));

    FormLayout::fitCaptions(this, {{frame, 120, 90, 4260, 1380, 4380},
                                   {portCaption, 180, 390, 0, 0, 930},
                                   {m_searchButton, 960, 810, 3120, 375, 4080},
                                   {m_status, 120, 1590, 4260, 0, 4380}});

    // The status shows whole, however long: it wraps, the dialog grows downwards, and the user
    // can select and copy it (a hint on rights names a command to run).
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_status->setFixedWidth(px(4260));

    setFixedWidth(px(4500));
    showStatus(ScanText);
    // Escape closes the dialog as its close box does, storing the selected port.
    new QShortcut(QKeySequence::Cancel, this, this, &QWidget::close);

    // The dialog has no log list: what the device link reports shows in the status line.
    m_link = new WindowLink(this, nullptr);
    connect(&m_link->jobs(), &devicelink::JobRunner::lines, m_status,
            [this](const QList<devicelink::JobRunner::LogLine> &batch) {
                showStatus(batch.last().text);
            });
    connect(m_link, &WindowLink::idle, this, &PortDialog::idle);
    new OwnActivation(this, [this] { onActivated(); });
}

PortDialog::~PortDialog()
{
    // The job may still reach for the dialog: it ends before the members go.
    m_link->shutDown();
}

bool PortDialog::busy() const
{
    return m_link->busy();
}

void PortDialog::onActivated()
{
    // Activations during the scan or the search (the find message closing) start nothing.
    if (m_link->busy() || !isVisible())
        return;
    m_portList->clear();
    m_searchButton->setEnabled(false);
    showStatus(ScanText);

    const PortFactory ports = m_ports;
    m_link->start<std::optional<AvailablePorts>>(
        [ports](const LinkHooks &hooks) -> std::optional<AvailablePorts> {
            AvailablePorts found = ScanAvailablePorts(*ports(), hooks);
            if (hooks.isCancelled())
                return std::nullopt; // closing: a partial list is not offered
            return found;
        },
        [this](const std::optional<AvailablePorts> &found) {
            if (!found || m_link->closing())
                return; // so nothing gets stored
            RefillPortList(*m_portList, *found);
            // Ports left out for lack of rights or because another program holds them.
            showStatus(ScanProblemLines(*found).join(QLatin1Char('\n')));
            m_searchButton->setEnabled(true);
        });
}

void PortDialog::showStatus(const QString &text)
{
    m_status->setText(text);
    m_status->setFixedHeight(qMax(0, m_status->heightForWidth(m_status->width())));
    setFixedHeight(qMax(px(1950), m_status->y() + m_status->height() + px(120)));
    // Nothing to select in an empty line: Tab passes it by.
    m_status->setFocusPolicy(text.isEmpty() ? Qt::NoFocus : Qt::StrongFocus);
}

void PortDialog::onSearchClicked()
{
    const QList<int> numbers = ListedPortNumbers(*m_portList);
    const PortFactory ports = m_ports;
    // The find message waits for the user while the port is still open; the job waits for it
    // on its own thread. Closing the dialog takes the message away. The job's runner outlives
    // the job; the dialog is only touched on its own thread.
    const auto announce = [jobs = &m_link->jobs(),
                           dialog = QPointer<PortDialog>(this)](int n, const QString &version) {
        const QString text = QStringLiteral("Gerät gefunden an Port:") + QString::number(n) +
                             QStringLiteral("! Auf dem Gerät installierte Firmware Version: V") +
                             devicelink::printable(version);
        jobs->ask(
            [dialog, text](const devicelink::JobRunner::Answer &answer) {
                if (dialog)
                    dialog->m_dialogs.showInformation(dialog, QStringLiteral("Gerät gefunden"),
                                                      text, [answer] { answer(true); });
            },
            false);
    };
    m_link->start<SearchResult>(
        [ports, numbers, announce](const LinkHooks &hooks) {
            return SearchDevice(*ports(), numbers, ConfigurationBaudRate,
                                SearchVariant::configurator(), hooks, announce);
        },
        [this](const SearchResult &search) {
            if (!search.found())
                return; // the selection stays as it was
            m_portList->setCurrentIndex(search.index);
            close();
        });
}

void PortDialog::closeEvent(QCloseEvent *event)
{
    // A running scan or search is cancelled first; the dialog closes itself once it has ended.
    if (!m_link->mayClose()) {
        event->ignore();
        return;
    }
    storeChosenPort();
    event->accept();
}

void PortDialog::storeChosenPort()
{
    const int n = ChosenPort(*m_portList).comNumber;
    if (n < 1 || !m_mainWindow)
        return; // no port listed: the stored one stays
    m_mainWindow->storePort(quint8(n));
}

} // namespace configurator
