#include "devicelink/ui/PortListEntries.h"

#include <QComboBox>

namespace devicelink {

namespace {

PortChoice choiceAt(const QComboBox &list, int index)
{
    return list.itemData(index, Qt::UserRole).value<PortChoice>();
}

QString deviceOf(const AvailablePorts &ports, int comNumber)
{
    for (const ProbedPort &probe : ports.probed) {
        if (probe.number == comNumber)
            return probe.device;
    }
    return {};
}

} // namespace

void RefillPortList(QComboBox &list, const AvailablePorts &ports)
{
    const int chosen = ChosenPort(list).comNumber;
    list.clear();
    for (qsizetype i = 0; i < ports.numbers.size(); ++i) {
        const int n = ports.numbers[i];
        list.addItem(ports.entries.value(i),
                     QVariant::fromValue(PortChoice{n, deviceOf(ports, n)}));
        list.setItemData(int(i), ports.toolTips.value(i), Qt::ToolTipRole);
    }
    const int kept = chosen > 0 ? int(ports.numbers.indexOf(chosen)) : -1;
    list.setCurrentIndex(kept >= 0 ? kept : (ports.numbers.isEmpty() ? -1 : 0));
}

PortChoice ChosenPort(const QComboBox &list)
{
    return choiceAt(list, list.currentIndex());
}

QList<int> ListedPortNumbers(const QComboBox &list)
{
    QList<int> numbers;
    for (int i = 0; i < list.count(); ++i)
        numbers.append(choiceAt(list, i).comNumber);
    return numbers;
}

} // namespace devicelink
