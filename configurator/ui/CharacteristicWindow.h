#pragma once

#include "configurator/core/AnalogCharacteristic.h"

#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;

namespace configurator {

class CharacteristicPlot;

// "Kennlinie Analogausgang": what the analog output's two points mean for the device that
// reads the voltage. It only reads the settings, through `source`, and shows them again on
// every refresh(); the owner calls that whenever a setting may have changed.
class CharacteristicWindow : public QWidget
{
    Q_OBJECT

public:
    using SettingsSource = std::function<ConfigSettings()>;

    explicit CharacteristicWindow(SettingsSource source, QWidget *parent = nullptr);

    // The characteristic as shown now, for the chosen fuel.
    AnalogCharacteristic characteristic() const;

    QComboBox *fuel = nullptr;
    QLabel *calibration = nullptr;
    QLabel *table = nullptr; // the rows Kopieren puts on the clipboard
    QLabel *resolution = nullptr;
    QLabel *notes = nullptr;
    QPushButton *kopieren = nullptr;

public slots:
    void refresh();
    void onCopyClicked();

private:
    SettingsSource m_source;
    CharacteristicPlot *m_plot = nullptr;
};

} // namespace configurator
