#pragma once

#include "configurator/core/ConfigSettings.h"

#include <QList>
#include <QString>

namespace configurator {

// One entry of a setting's list: the text the window shows and the code the image stores.
struct ValueEntry
{
    QString text;
    int code = 0;

    bool operator==(const ValueEntry &other) const = default;
};

// The lists of the list settings, each generated once from its rule. The windows fill their
// drop-down lists from these and the image code maps indexes to codes through them, so both
// always agree.
class ValueTable
{
public:
    // The entries of a list setting in list order; empty for a check setting. Settings that
    // share a list (the two lambda warnings, the two analog lambda points, the two analog
    // voltages) get the very same table.
    static const QList<ValueEntry> &entries(ConfigSettings::Setting setting);
    static int size(ConfigSettings::Setting setting) { return int(entries(setting).size()); }
    // The code stored for the entry at index; the index must be valid.
    static int codeAt(ConfigSettings::Setting setting, int index);

    // Lambda times 100 as shown: "0,65", "1,00", "2,55".
    static QString lambdaText(int hundredths);
    // Relative pressure 0.016 * k - 0.965 bar to two decimals, halves away from zero.
    static QString pressureText(int k);
    // Analog output voltage 5 * k / 255 to three decimals with " V".
    static QString voltageText(int k);
};

} // namespace configurator
