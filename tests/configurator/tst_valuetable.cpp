#include "ValueTable.h"

#include <QTest>

#include <cmath>

using S = ConfigSettings;
Q_DECLARE_METATYPE(ConfigSettings::Setting)

namespace {

QString decimal(double value, int decimals)
{
    return QString::number(value, 'f', decimals).replace(QLatin1Char('.'), QLatin1Char(','));
}

// Pressure in bar: 0.016k - 0.965, to hundredths with halves away from zero (std::round).
QString pressure(int k)
{
    return decimal(std::round((16.0 * k - 965) / 10) / 100, 2);
}

// Entry `i` of a list as its rule gives it; lists that start with "AUS" shift by one.
ValueEntry rule(S::Setting setting, int i)
{
    const ValueEntry off{QStringLiteral("AUS"), 0};
    switch (setting) {
    case S::LambdaWarnBelow:
    case S::LambdaWarnAbove:
        return i == 0 ? off : ValueEntry{decimal((i + 64) / 100.0, 2), i + 64};
    case S::AnalogLambda0:
    case S::AnalogLambda1:
        return {decimal((i + 65) / 100.0, 2), i + 65};
    case S::EgtWarn:
        return i == 0 ? off : ValueEntry{QString::number(i) + QString::fromUtf8(" °C"), i};
    case S::DisplayDelay:
        return {QString::number(25 * i) + " ms", 25 * i};
    case S::BoostWarn:
        return i == 0 ? off : ValueEntry{pressure(i), i};
    case S::VacuumThreshold:
        return {pressure(i + 1), i};
    case S::AnalogVoltage0:
    case S::AnalogVoltage1:
        return {decimal(5.0 * i / 255, 3) + " V", i};
    default:
        return {};
    }
}

} // namespace

class TestValueTable : public QObject
{
    Q_OBJECT

private slots:
    // Every entry of every computed list against its rule; the last text pins the length.
    void lists_data()
    {
        QTest::addColumn<S::Setting>("setting");
        QTest::addColumn<QString>("last");
        const auto row = [](S::Setting s, const char *last) {
            QTest::newRow(qPrintable(S::controlName(s))) << s << QString::fromUtf8(last);
        };
        row(S::LambdaWarnBelow, "2,55");
        row(S::LambdaWarnAbove, "2,55");
        row(S::EgtWarn, "1250 °C");
        row(S::BoostWarn, "3,12");
        row(S::DisplayDelay, "500 ms");
        row(S::VacuumThreshold, "-0,01");
        row(S::AnalogLambda0, "2,55");
        row(S::AnalogLambda1, "2,55");
        row(S::AnalogVoltage0, "5,000 V");
        row(S::AnalogVoltage1, "5,000 V");
    }

    void lists()
    {
        QFETCH(S::Setting, setting);
        const auto &entries = ValueTable::entries(setting);
        QTEST(entries.last().text, "last");
        for (int i = 0; i < entries.size(); ++i)
            QVERIFY2(entries.at(i) == rule(setting, i), qPrintable(entries.at(i).text));
    }

    // The pressure and voltage texts where rounding is easiest to get wrong; the pressure
    // list steps over zero without ever reading zero.
    void spotTexts()
    {
        const auto text = [](S::Setting s, int k) { return ValueTable::entries(s).at(k).text; };
        const QStringList pressures{"-0,95", "-0,89", "-0,01", "0,01", "0,08", "1,00", "3,12"};
        const QList<int> ks{1, 5, 60, 61, 65, 123, 255};
        for (int i = 0; i < ks.size(); ++i)
            QCOMPARE(text(S::BoostWarn, ks[i]), pressures[i]);
        QCOMPARE(text(S::AnalogVoltage1, 0), QStringLiteral("0,000 V"));
        QCOMPARE(text(S::AnalogVoltage1, 1), QStringLiteral("0,020 V"));
        QCOMPARE(text(S::AnalogVoltage1, 51), QStringLiteral("1,000 V"));
        for (const ValueEntry &entry : ValueTable::entries(S::BoostWarn))
            QVERIFY(entry.text != QStringLiteral("0,00") && entry.text != QStringLiteral("-0,00"));
    }
};

QTEST_APPLESS_MAIN(TestValueTable)
#include "tst_valuetable.moc"
