#pragma once

#include "configurator/core/ConfigSettings.h"

#include <QList>
#include <QString>

#include <array>

namespace configurator {

// A fuel and its stoichiometric air-fuel ratio, for showing lambda as AFR.
struct Fuel
{
    QString name;
    double stoich = 0;
};

// What the two analog output points mean for the ECU or logger that reads the voltage: the
// line through them, lambda = a + b * U, and a table along it. The window, its clipboard text
// and the batch mode all show this one calculation. Values are exact (the voltages are
// 5 * k / 255); rounding happens only in the texts.
class AnalogCharacteristic
{
public:
    enum class Note
    {
        ConverterNotFitted,
        ConverterIndeterminate, // a file can leave "da" in the third state
        SameVoltage,
        SameLambda,
        Falling,
    };

    struct Point
    {
        double lambda = 0;
        double voltage = 0;
    };

    struct Row
    {
        double voltage = 0;
        double lambda = 0;
        double afr = 0;
    };

    static constexpr int TableRows = 11;
    static constexpr double MinStoich = 1;
    static constexpr double MaxStoich = 30;

    AnalogCharacteristic(const ConfigSettings &settings, double stoich);

    static const QList<Fuel> &fuels();
    static int defaultFuel() { return 0; } // Benzin
    static QString noteText(Note note);
    // `value` to `decimals` places with a decimal comma, halves away from zero.
    static QString decimalText(double value, int decimals);

    std::array<Point, 2> points;
    double stoich = 0;
    // Whether the points give a line at all (different voltages and different lambdas); a, b,
    // resolution and table are only meaningful then.
    bool hasLine = false;
    double a = 0;
    double b = 0;
    double resolution = 0; // lambda per step of the 8-bit output, 5/255 V
    QList<Row> table;      // from point 0's voltage to point 1's
    QList<Note> notes;

    QString pointText(int index) const; // "Punkt 0: Lambda 0,80 = 0,000 V"
    QString lambdaLineText() const;     // "Lambda = 0,8000 + 0,0800 * U"
    QString afrLineText() const;        // "AFR = 11,7600 + 1,1760 * U"
    QString resolutionText() const;
    // The points, the line and the table, one line each, for a spreadsheet or the clipboard.
    QString calibrationText() const;
};

} // namespace configurator
