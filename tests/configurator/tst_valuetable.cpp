#include "ValueTable.h"

#include <QRegularExpression>
#include <QTest>

using S = ConfigSettings;
Q_DECLARE_METATYPE(ConfigSettings::Setting)

namespace {

// "-0,95" -> -95, "1,000 V" -> 1000: the shown number as an integer of its last decimal.
int scaledNumber(QString text)
{
    text.remove(QStringLiteral(" V"));
    const bool negative = text.startsWith(QLatin1Char('-'));
    text.remove(QLatin1Char('-')).remove(QLatin1Char(','));
    return negative ? -text.toInt() : text.toInt();
}

// Checks one entry against the rule of its list, worked out here from the shown number.
void checkEntry(S::Setting setting, int index, const ValueEntry &entry)
{
    const QString where =
        QStringLiteral("%1[%2] \"%3\"").arg(S::controlName(setting)).arg(index).arg(entry.text);
    const auto expect = [&](bool ok) { QVERIFY2(ok, qPrintable(where)); };
    static const QRegularExpression lambda(QStringLiteral("^[0-9],[0-9]{2}$"));
    static const QRegularExpression pressure(QStringLiteral("^-?[0-9],[0-9]{2}$"));
    static const QRegularExpression voltage(QStringLiteral("^[0-9],[0-9]{3} V$"));
    switch (setting) {
    case S::LambdaWarnBelow:
    case S::LambdaWarnAbove:
        if (index == 0)
            return expect(entry.text == "AUS" && entry.code == 0);
        return expect(lambda.match(entry.text).hasMatch() &&
                      scaledNumber(entry.text) == entry.code && entry.code == index + 64);
    case S::AnalogLambda0:
    case S::AnalogLambda1:
        return expect(lambda.match(entry.text).hasMatch() &&
                      scaledNumber(entry.text) == entry.code && entry.code == index + 65);
    case S::EgtWarn:
        if (index == 0)
            return expect(entry.text == "AUS" && entry.code == 0);
        return expect(entry.text == QString::number(index) + QString::fromUtf8(" °C") &&
                      entry.code == index);
    case S::DisplayDelay:
        return expect(entry.text == QString::number(25 * index) + " ms" &&
                      entry.code == 25 * index);
    case S::BoostWarn:
    case S::VacuumThreshold: {
        const int k = setting == S::BoostWarn ? index : index + 1;
        if (k == 0)
            return expect(entry.text == "AUS" && entry.code == 0);
        // The exact value in thousandths is 16k - 965; the text must be it rounded to
        // hundredths, a half going away from zero, and never zero.
        const int exact = 16 * k - 965;
        const int shown = scaledNumber(entry.text);
        const int error = std::abs(10 * shown - exact);
        expect(pressure.match(entry.text).hasMatch() && shown != 0 &&
               (error < 5 || (error == 5 && std::abs(10 * shown) > std::abs(exact))) &&
               entry.code == index);
        return;
    }
    case S::AnalogVoltage0:
    case S::AnalogVoltage1: {
        // Millivolts within half a millivolt of 5000k/255.
        const int error2 = std::abs(2 * 255 * scaledNumber(entry.text) - 2 * 5000 * index);
        return expect(voltage.match(entry.text).hasMatch() && error2 <= 255 && entry.code == index);
    }
    default:
        QFAIL("no rule for this list");
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
        QTest::addColumn<QString>("ends"); // first and last text
        const auto row = [](S::Setting s, const char *ends) {
            QTest::newRow(qPrintable(S::controlName(s))) << s << QString::fromUtf8(ends);
        };
        row(S::LambdaWarnBelow, "AUS 2,55");
        row(S::LambdaWarnAbove, "AUS 2,55");
        row(S::EgtWarn, "AUS 1250 °C");
        row(S::BoostWarn, "AUS 3,12");
        row(S::DisplayDelay, "0 ms 500 ms");
        row(S::VacuumThreshold, "-0,95 -0,01");
        row(S::AnalogLambda0, "0,65 2,55");
        row(S::AnalogLambda1, "0,65 2,55");
        row(S::AnalogVoltage0, "0,000 V 5,000 V");
        row(S::AnalogVoltage1, "0,000 V 5,000 V");
    }

    void lists()
    {
        QFETCH(S::Setting, setting);
        const auto &entries = ValueTable::entries(setting);
        QTEST(entries.first().text + ' ' + entries.last().text, "ends");
        for (int i = 0; i < entries.size() && !QTest::currentTestFailed(); ++i)
            checkEntry(setting, i, entries.at(i));
    }

    // The pressure and voltage texts where rounding is easiest to get wrong.
    void spotTexts_data()
    {
        QTest::addColumn<S::Setting>("setting");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        for (auto [k, text] : {std::pair{1, "-0,95"},
                               {5, "-0,89"},
                               {60, "-0,01"},
                               {61, "0,01"},
                               {65, "0,08"},
                               {123, "1,00"},
                               {255, "3,12"}})
            QTest::addRow("pressure %d", k) << S::BoostWarn << k << text;
        for (auto [k, text] :
             {std::pair{0, "0,000 V"}, {1, "0,020 V"}, {51, "1,000 V"}, {255, "5,000 V"}})
            QTest::addRow("voltage %d", k) << S::AnalogVoltage1 << k << text;
    }

    void spotTexts()
    {
        QFETCH(S::Setting, setting);
        QFETCH(int, index);
        QTEST(ValueTable::entries(setting).at(index).text, "text");
    }
};

QTEST_APPLESS_MAIN(TestValueTable)
#include "tst_valuetable.moc"
