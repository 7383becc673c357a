#include "configurator/ui/Form2.h"

#include "configurator/ui/Form1.h"
#include "configurator/ui/FormLayout.h"
#include "configurator/ui/UserDialogs.h"
#include "devicelink/BootloaderTransfer.h"
#include "devicelink/Identification.h"
#include "devicelink/PortScan.h"
#include "devicelink/ui/WindowLink.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

namespace configurator {

using namespace devicelink;

using FormLayout::px;

namespace {

const QString ScanText = QStringLiteral("verfügbare COM-Ports suchen, bitte warten....");

} // namespace

Form2::Form2(Form1 *mainWindow, UserDialogs &dialogs, SerialPort *serialPort)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_form1(mainWindow), m_dialogs(dialogs), MSComm1(serialPort ? *serialPort : m_comPort)
{
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Com-Port wählen"));

    auto *frame = new QGroupBox(QStringLiteral("Kommunikationseinstellungen"), this);
    frame->setGeometry(FormLayout::rect(120, 90, 4260, 1380));
    Label2 = new QLabel(QStringLiteral("Port:"), frame);
    Label2->setObjectName(QStringLiteral("Label2"));

    ComboPort = new QComboBox(frame);
    ComboPort->setObjectName(QStringLiteral("ComboPort"));
    ComboPort->setGeometry(FormLayout::rect(960, 330, 3120, 315));
    Command4 = new QPushButton(QStringLiteral("Gerät suchen"), frame);
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

    List3 = new QListWidget(this);
    List3->setObjectName(QStringLiteral("List3"));
    List3->hide();
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->hide();

    setFixedSize(px(4500), px(1950));

    // The dialog has no log list: what the device link reports shows in the status line.
    m_link = new WindowLink(this, nullptr);
}

bool Form2::event(QEvent *event)
{
    // The scan runs from the event loop, not inside the activation's own delivery.
    if (event->type() == QEvent::WindowActivate)
        QTimer::singleShot(0, this, &Form2::Form_Activate);
    return QWidget::event(event);
}

void Form2::Form_Activate()
{
    // Activations during the scan or the search (the find message closing) start nothing.
    if (m_link->busy() || !isVisible())
        return;
    WindowLink::Operation operation(*m_link);
    m_scanning = true;
    ComboPort->clear();
    List3->clear();
    Command4->setEnabled(false);
    Label1->setText(ScanText);

    const AvailablePorts ports = ScanAvailablePorts(MSComm1, m_link->hooks());
    m_scanning = false;
    if (m_link->hooks().isCancelled())
        return; // closing: a partial list is not offered, so nothing gets stored
    ComboPort->addItems(ports.entries);
    for (int i = 0; i < ports.toolTips.size(); ++i)
        ComboPort->setItemData(i, ports.toolTips[i], Qt::ToolTipRole);
    for (int n : ports.numbers)
        List3->addItem(QString::number(n));
    ComboPort->setCurrentIndex(ports.entries.isEmpty() ? -1 : 0);
    // Ports left out for lack of rights or because another program holds them.
    Label1->setText(ScanProblemLines(ports).join(QLatin1Char('\n')));
    Command4->setEnabled(true);
}

void Form2::Command4_Click()
{
    SearchResult result;
    {
        WindowLink::Operation operation(*m_link);
        if (!operation.started())
            return;
        QList<int> numbers;
        for (int i = 0; i < List3->count(); ++i)
            numbers.append(List3->item(i)->text().toInt());
        LinkHooks hooks = m_link->hooks();
        hooks.log = [this](const QString &line, LinkHooks::LineStyle) { Label1->setText(line); };
        QByteArray receiveText;
        result =
            SearchDevice(MSComm1, numbers, ConfigurationBaudRate, SearchVariant::configurator(),
                         receiveText, hooks, [this](int n, const QString &version) {
                             m_dialogs.information(
                                 this, QStringLiteral("Gerät gefunden"),
                                 QStringLiteral("Gerät gefunden an Port:") + QString::number(n) +
                                     QStringLiteral("! Auf dem Gerät installierte Firmware "
                                                    "Version: V") +
                                     version);
                         });
        Text1->setText(QString::fromLatin1(receiveText));
    }
    if (!result.found())
        return; // the selection stays as it was
    ComboPort->setCurrentIndex(result.index);
    close();
}

void Form2::closeEvent(QCloseEvent *event)
{
    // A running scan or search is cancelled first; the dialog closes itself once it returned.
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
