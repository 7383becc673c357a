#pragma once

#include "configurator/core/AnalogCharacteristic.h"

#include <QWidget>

namespace configurator {

// The analog output's voltage (0 to 5 V) over lambda: both points marked and labelled, the
// line solid between them and dashed beyond, where the gauge's firmware decides the output.
class CharacteristicPlot : public QWidget
{
    Q_OBJECT

public:
    explicit CharacteristicPlot(QWidget *parent = nullptr);

    void setCharacteristic(const AnalogCharacteristic &characteristic);

    QSize sizeHint() const override { return {600, 380}; }
    QSize minimumSizeHint() const override { return {360, 240}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    AnalogCharacteristic m_characteristic;
};

} // namespace configurator
