#pragma once

#include "devicelink/PortScan.h"

#include <QList>

class QComboBox;

namespace flasher {

// Fills the port list and its hidden numbers from a scan, each entry with its tooltip. The
// port chosen before stays chosen when the scan found it again; otherwise the first entry is
// chosen, or none when the list is empty.
void RefillPortList(QComboBox &combo, QList<int> &numbers, const devicelink::AvailablePorts &ports);

} // namespace flasher
