#include "configurator/core/ValueTable.h"

#include <cstdlib>

namespace configurator {

namespace {

using Table = QList<ValueEntry>;

const QString kOff = QStringLiteral("AUS");

// "d,dd..." from a non-negative fixed-point value with the given number of decimals.
QString fixedText(int scaled, int decimals, int divisor)
{
    return QStringLiteral("%1,%2")
        .arg(scaled / divisor)
        .arg(scaled % divisor, decimals, 10, QLatin1Char('0'));
}

const Table &lambdaWarnTable()
{
    static const Table table = [] {
        Table t{{kOff, 0}};
        for (int k = 1; k <= 191; ++k)
            t.append({ValueTable::lambdaText(k + 64), k + 64});
        return t;
    }();
    return table;
}

const Table &egtWarnTable()
{
    static const Table table = [] {
        Table t{{kOff, 0}};
        for (int k = 1; k <= 1250; ++k)
            t.append({QStringLiteral("%1 °C").arg(k), k});
        return t;
    }();
    return table;
}

const Table &boostWarnTable()
{
    static const Table table = [] {
        Table t{{kOff, 0}};
        for (int k = 1; k <= 255; ++k)
            t.append({ValueTable::pressureText(k), k});
        return t;
    }();
    return table;
}

const Table &displayDelayTable()
{
    static const Table table = [] {
        Table t;
        for (int k = 0; k <= 20; ++k)
            t.append({QStringLiteral("%1 ms").arg(25 * k), 25 * k});
        return t;
    }();
    return table;
}

const Table &contrastTable()
{
    static const Table table{
        {QStringLiteral("DUNKEL"), 1},
        {QStringLiteral("MITTEL"), 125},
        {QStringLiteral("HELL"), 255},
    };
    return table;
}

const Table &startValueTable()
{
    static const Table table{
        {QStringLiteral("Lambda"), 0},
        {QStringLiteral("Ladedruck"), 1},
        {QStringLiteral("Abgastemperatur"), 2},
    };
    return table;
}

const Table &fourthPositionContentTable()
{
    static const Table table{
        {QStringLiteral("Lambdatemperatur / Heizung"), 0},
        {QStringLiteral("Lambda grafisch anzeigen"), 1},
    };
    return table;
}

// The boost list's pressures 1..60, but coded by their own index.
const Table &vacuumThresholdTable()
{
    static const Table table = [] {
        Table t;
        for (int j = 0; j <= 59; ++j)
            t.append({ValueTable::pressureText(j + 1), j});
        return t;
    }();
    return table;
}

const Table &analogLambdaTable()
{
    static const Table table = [] {
        Table t;
        for (int k = 0; k <= 190; ++k)
            t.append({ValueTable::lambdaText(k + 65), k + 65});
        return t;
    }();
    return table;
}

const Table &analogVoltageTable()
{
    static const Table table = [] {
        Table t;
        for (int k = 0; k <= 255; ++k)
            t.append({ValueTable::voltageText(k), k});
        return t;
    }();
    return table;
}

} // namespace

const QList<ValueEntry> &ValueTable::entries(ConfigSettings::Setting setting)
{
    static const Table none;
    switch (setting) {
    case ConfigSettings::LambdaWarnBelow:
    case ConfigSettings::LambdaWarnAbove:
        return lambdaWarnTable();
    case ConfigSettings::EgtWarn:
        return egtWarnTable();
    case ConfigSettings::BoostWarn:
        return boostWarnTable();
    case ConfigSettings::DisplayDelay:
        return displayDelayTable();
    case ConfigSettings::Contrast:
        return contrastTable();
    case ConfigSettings::StartValue:
        return startValueTable();
    case ConfigSettings::FourthPositionContent:
        return fourthPositionContentTable();
    case ConfigSettings::VacuumThreshold:
        return vacuumThresholdTable();
    case ConfigSettings::AnalogLambda0:
    case ConfigSettings::AnalogLambda1:
        return analogLambdaTable();
    case ConfigSettings::AnalogVoltage0:
    case ConfigSettings::AnalogVoltage1:
        return analogVoltageTable();
    case ConfigSettings::FourthPositionShown:
    case ConfigSettings::SwitchToMeasuredValue:
    case ConfigSettings::NoLeanWarningUnderVacuum:
    case ConfigSettings::AnalogConverterFitted:
        break;
    }
    return none;
}

int ValueTable::codeAt(ConfigSettings::Setting setting, int index)
{
    return entries(setting).at(index).code;
}

QString ValueTable::lambdaText(int hundredths)
{
    return fixedText(hundredths, 2, 100);
}

QString ValueTable::pressureText(int k)
{
    // Exact in integers: thousandths = 16k - 965, then to hundredths with halves away from
    // zero. Binary floating point would misround the halves (k = 5 must read "-0,89").
    const int thousandths = 16 * k - 965;
    const int magnitude = (std::abs(thousandths) + 5) / 10;
    const QString text = fixedText(magnitude, 2, 100);
    return thousandths < 0 ? QLatin1Char('-') + text : text;
}

QString ValueTable::voltageText(int k)
{
    // Millivolts 5000k/255, rounded to the nearest (k is never negative).
    const int millivolts = (2 * 5000 * k + 255) / (2 * 255);
    return fixedText(millivolts, 3, 1000) + QStringLiteral(" V");
}

} // namespace configurator
