#include "flasher/ui/PortList.h"

#include <QPointer>

namespace flasher {

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

} // namespace flasher
