#include "flasher/ui/PortList.h"

#include <QPointer>

namespace flasher {

using namespace devicelink;

void PortComboBox::showPopup()
{
    if (!m_aboutToOpen) {
        QComboBox::showPopup();
        return;
    }
    const QPointer<PortComboBox> self(this);
    m_aboutToOpen([self] {
        if (self && self->isVisible())
            self->QComboBox::showPopup();
    });
}

void RefillPortList(QComboBox &combo, QList<int> &numbers, const AvailablePorts &ports)
{
    const int index = combo.currentIndex();
    const int chosen = index >= 0 && index < numbers.size() ? numbers[index] : 0;
    combo.clear();
    combo.addItems(ports.entries);
    for (int i = 0; i < ports.toolTips.size() && i < combo.count(); ++i)
        combo.setItemData(i, ports.toolTips[i], Qt::ToolTipRole);
    numbers = ports.numbers;
    const int kept = chosen > 0 ? int(numbers.indexOf(chosen)) : -1;
    combo.setCurrentIndex(kept >= 0 ? kept : (numbers.isEmpty() ? -1 : 0));
}

} // namespace flasher
