#include "configurator/core/AnalogCharacteristic.h"

#include "configurator/core/ValueTable.h"

#include <cmath>

namespace configurator {

namespace {

using S = ConfigSettings;

QString signedTerm(double value, int decimals)
{
    return (value < 0 ? QStringLiteral(" - ") : QStringLiteral(" + ")) +
           AnalogCharacteristic::decimalText(std::abs(value), decimals);
}

} // namespace

AnalogCharacteristic::AnalogCharacteristic(const ConfigSettings &settings, double stoich)
    : stoich(stoich)
{
    // Lambda in hundredths and the voltage code k (U = 5k/255) of both points. Each value is
    // one integer quotient, so a table end and its point are the very same double.
    const int l0 = ValueTable::codeAt(S::AnalogLambda0, settings.value(S::AnalogLambda0));
    const int l1 = ValueTable::codeAt(S::AnalogLambda1, settings.value(S::AnalogLambda1));
    const int k0 = ValueTable::codeAt(S::AnalogVoltage0, settings.value(S::AnalogVoltage0));
    const int k1 = ValueTable::codeAt(S::AnalogVoltage1, settings.value(S::AnalogVoltage1));
    points = {Point{l0 / 100.0, 5.0 * k0 / 255}, Point{l1 / 100.0, 5.0 * k1 / 255}};

    const int converter = settings.value(S::AnalogConverterFitted);
    if (converter == S::Unchecked)
        notes.append(Note::ConverterNotFitted);
    else if (converter == S::Indeterminate)
        notes.append(Note::ConverterIndeterminate);
    if (k0 == k1)
        notes.append(Note::SameVoltage);
    if (l0 == l1)
        notes.append(Note::SameLambda);
    hasLine = k0 != k1 && l0 != l1;
    if (!hasLine)
        return;

    // b = (dl / 100) / (5 dk / 255) and a = l0 / 100 - b * U0, as single quotients.
    const double denominator = 100.0 * (k1 - k0);
    b = 51.0 * (l1 - l0) / denominator;
    a = double(l0 * k1 - l1 * k0) / denominator;
    resolution = std::abs(double(l1 - l0) / (100.0 * (k1 - k0)));
    if (b < 0)
        notes.append(Note::Falling);

    for (int i = 0; i < TableRows; ++i) {
        const int steps = TableRows - 1;
        const double voltage = 5.0 * (steps * k0 + i * (k1 - k0)) / (255 * steps);
        const double lambda = double(steps * l0 + i * (l1 - l0)) / (100 * steps);
        table.append({voltage, lambda, lambda * stoich});
    }
}

const QList<Fuel> &AnalogCharacteristic::fuels()
{
    static const QList<Fuel> list{
        {QStringLiteral("Benzin"), 14.7},  {QStringLiteral("Diesel"), 14.5},
        {QStringLiteral("E85"), 9.77},     {QStringLiteral("Ethanol"), 9.0},
        {QStringLiteral("Methanol"), 6.4}, {QStringLiteral("LPG"), 15.5},
    };
    return list;
}

QString AnalogCharacteristic::noteText(Note note)
{
    switch (note) {
    case Note::ConverterNotFitted:
        return QStringLiteral("„Digital-/ Analogwandler verbaut“ ist nicht angehakt: ohne "
                              "Wandler gibt das Gerät keine Spannung aus.");
    case Note::ConverterIndeterminate:
        return QStringLiteral("„Digital-/ Analogwandler verbaut“ ist unbestimmt (aus der "
                              "Datei): ob das Gerät eine Spannung ausgibt, ist offen.");
    case Note::SameVoltage:
        return QStringLiteral("Beide Punkte haben dieselbe Spannung: die Ausgabe trägt keine "
                              "Information.");
    case Note::SameLambda:
        return QStringLiteral("Beide Punkte haben dasselbe Lambda: es ergibt sich keine "
                              "Kennlinie.");
    case Note::Falling:
        return QStringLiteral("Die Kennlinie fällt: die Spannung sinkt mit steigendem Lambda.");
    }
    return {};
}

QString AnalogCharacteristic::decimalText(double value, int decimals)
{
    qint64 scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    const double scaled = std::abs(value) * double(scale);
    // The values are quotients of short decimals, and in binary a half may land a hair below
    // .5 (2.55 * 14.5 is 36.974999...): within a billionth, it counts as the half.
    const auto units = qint64(std::floor(scaled + 0.5 + 1e-9 * (1 + scaled)));
    QString text = QString::number(units / scale);
    if (decimals > 0)
        text += QLatin1Char(',') +
                QStringLiteral("%1").arg(units % scale, decimals, 10, QLatin1Char('0'));
    return value < 0 && units != 0 ? QLatin1Char('-') + text : text;
}

QString AnalogCharacteristic::pointText(int index) const
{
    return QStringLiteral("Punkt %1: Lambda %2 = %3 V")
        .arg(index)
        .arg(decimalText(points[index].lambda, 2), decimalText(points[index].voltage, 3));
}

QString AnalogCharacteristic::lambdaLineText() const
{
    return QStringLiteral("Lambda = ") + decimalText(a, 4) + signedTerm(b, 4) +
           QStringLiteral(" * U");
}

QString AnalogCharacteristic::afrLineText() const
{
    return QStringLiteral("AFR = ") + decimalText(a * stoich, 4) + signedTerm(b * stoich, 4) +
           QStringLiteral(" * U");
}

QString AnalogCharacteristic::resolutionText() const
{
    return QStringLiteral("Auflösung: %1 Lambda (%2 AFR) je Stufe von 5/255 V")
        .arg(decimalText(resolution, 5), decimalText(resolution * stoich, 3));
}

QString AnalogCharacteristic::calibrationText() const
{
    QStringList lines{pointText(0), pointText(1)};
    if (hasLine) {
        lines << lambdaLineText() << QStringLiteral("U/V;Lambda;AFR");
        for (const Row &row : table)
            lines << decimalText(row.voltage, 3) + QLatin1Char(';') + decimalText(row.lambda, 3) +
                         QLatin1Char(';') + decimalText(row.afr, 2);
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace configurator
