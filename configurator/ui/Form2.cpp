#include "configurator/ui/Form2.h"

#include "configurator/ui/Form1.h"
#include "configurator/ui/FormLayout.h"
#include "configurator/ui/OwnActivation.h"
#include "configurator/ui/UserDialogs.h"
#include "devicelink/BootloaderTransfer.h"
#include "devicelink/ComPort.h"
#include "devicelink/Identification.h"
#include "devicelink/PortScan.h"
#include "devicelink/Printable.h"
#include "devicelink/ui/WindowLink.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
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

Form2::Form2(Form1 *mainWindow, UserDialogs &dialogs, PortFactory ports)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_form1(mainWindow), m_dialogs(dialogs), m_ports(std::move(ports))
{
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Com-Port wählen"));

    auto *frame = new QGroupBox(QStringLiteral("Kommunikationseinstellungen"), this);
    frame->setGeometry(FormLayout::rect(120, 90, 4260, 1380));
    Label2 = new QLabel(QStringLiteral("&Port:"), frame);
    Label2->setObjectName(QStringLiteral("Label2"));

    ComboPort = new QComboBox(frame);
    ComboPort->setObjectName(QStringLiteral("ComboPort"));
    ComboPort->setGeometry(FormLayout::rect(960, 330, 3120, 315));
    Label2->setBuddy(ComboPort);
    ComboPort->setAccessibleName(QStringLiteral("Port")); // else the entry is its name
    Command4 = new QPushButton(QStringLiteral("&Gerät suchen"), frame);
    Command4->setObjectName(QStringLiteral("Command4"));
    Command4->setGeometry(FormLayout::rect(960, 810, 3120, 375));
    Command4->setEnabled(false);
    connect(Command4, &QPushButton::clicked, this, &Form2::Command4_Click);

    Label1 = new QLabel(ScanText, this);
    Label1->setObjectName(QStringLiteral("Label1"));

    FormLayout::fitCaptions(this, {{frame, 120, 90, 4260, 1380, 4380},
                                   {Label2, 180, 390, 0, 0, 930},
                                   {Command4, 960, 810, 3120, 375, 4080},
                                   {Label1, 120, 1590, 4260, 0, 4380}});

    // The status shows whole, however long: it wraps, the dialog grows downwards, and the user
    // can select and copy it (a hint on rights names a command to run).
    Label1->setWordWrap(true);
    Label1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Label1->setFixedWidth(px(4260));

    List3 = new QListWidget(this);
    List3->setObjectName(QStringLiteral("List3"));
    List3->hide();
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->hide();

    setFixedWidth(px(4500));
    showStatus(ScanText);
    // Escape closes the dialog as its close box does, storing the selected port.
    new QShortcut(QKeySequence::Cancel, this, this, &QWidget::close);

    // The dialog has no log list: what the device link reports shows in the status line.
    m_link = new WindowLink(this, nullptr);
    connect(&m_link->jobs(), &devicelink::JobRunner::lines, Label1,
            [this](const QList<devicelink::JobRunner::LogLine> &batch) {
                showStatus(batch.last().text);
            });
    connect(m_link, &WindowLink::idle, this, &Form2::idle);
    new OwnActivation(this, [this] { Form_Activate(); });
}

bool Form2::busy() const
{
    return m_link->busy();
}

void Form2::Form_Activate()
{
    // Activations during the scan or the search (the find message closing) start nothing.
    if (m_link->busy() || !isVisible())
        return;
    ComboPort->clear();
    List3->clear();
    Command4->setEnabled(false);
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
            ComboPort->addItems(found->entries);
            for (int i = 0; i < found->toolTips.size(); ++i)
                ComboPort->setItemData(i, found->toolTips[i], Qt::ToolTipRole);
            for (int n : found->numbers)
                List3->addItem(QString::number(n));
            ComboPort->setCurrentIndex(found->entries.isEmpty() ? -1 : 0);
            // Ports left out for lack of rights or because another program holds them.
            showStatus(ScanProblemLines(*found).join(QLatin1Char('\n')));
            Command4->setEnabled(true);
        });
}

void Form2::showStatus(const QString &text)
{
    Label1->setText(text);
    Label1->setFixedHeight(qMax(0, Label1->heightForWidth(Label1->width())));
    setFixedHeight(qMax(px(1950), Label1->y() + Label1->height() + px(120)));
    // Nothing to select in an empty line: Tab passes it by.
    Label1->setFocusPolicy(text.isEmpty() ? Qt::NoFocus : Qt::StrongFocus);
}

void Form2::Command4_Click()
{
    QList<int> numbers;
    for (int i = 0; i < List3->count(); ++i)
        numbers.append(List3->item(i)->text().toInt());
    const PortFactory ports = m_ports;
    using Search = std::pair<SearchResult, QByteArray>;
    // The find message waits for the user while the port is still open; the job waits for it
    // on its own thread. Closing the dialog takes the message away.
    const auto announce = [this](int n, const QString &version) {
        const QString text = QStringLiteral("Gerät gefunden an Port:") + QString::number(n) +
                             QStringLiteral("! Auf dem Gerät installierte Firmware Version: V") +
                             devicelink::printable(version);
        m_link->ask(
            [this, text](const devicelink::JobRunner::Answer &answer) {
                m_dialogs.showInformation(this, QStringLiteral("Gerät gefunden"), text,
                                          [answer] { answer(true); });
            },
            false);
    };
    m_link->start<Search>(
        [ports, numbers, announce](const LinkHooks &hooks) {
            Search search;
            search.first =
                SearchDevice(*ports(), numbers, ConfigurationBaudRate,
                             SearchVariant::configurator(), search.second, hooks, announce);
            return search;
        },
        [this](const Search &search) {
            Text1->setText(QString::fromLatin1(search.second));
            if (!search.first.found())
                return; // the selection stays as it was
            ComboPort->setCurrentIndex(search.first.index);
            close();
        });
}

void Form2::closeEvent(QCloseEvent *event)
{
    // A running scan or search is cancelled first; the dialog closes itself once it has ended.
    if (!m_link->mayClose()) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void Form2::Form_Unload()
{
    const int index = ComboPort->currentIndex();
    if (index < 0 || index >= List3->count() || !m_form1)
        return; // no port listed: the stored one stays
    bool ok = false;
    const uint n = List3->item(index)->text().toUInt(&ok);
    if (!ok || n > 255)
        return;
    m_form1->storePort(quint8(n));
}

} // namespace configurator
