#pragma once

#include "devicelink/PortScan.h"

#include <QList>
#include <QMetaType>
#include <QString>

class QComboBox;

namespace devicelink {

// What an entry of a port list carries in Qt::UserRole: the port behind its caption.
struct PortChoice
{
    int comNumber = 0; // 0: no port
    QString device;    // links resolved; empty for ports without a device
};

// Fills a port list from a scan, each entry with its tooltip and its PortChoice. The port chosen
// before stays chosen when the scan found it again; otherwise the first entry is chosen, or none
// when the list is empty.
void RefillPortList(QComboBox &list, const AvailablePorts &ports);

// The chosen entry's port; a comNumber of 0 when none is chosen.
PortChoice ChosenPort(const QComboBox &list);

// The COM numbers of all entries, in list order.
QList<int> ListedPortNumbers(const QComboBox &list);

} // namespace devicelink

Q_DECLARE_METATYPE(devicelink::PortChoice)
