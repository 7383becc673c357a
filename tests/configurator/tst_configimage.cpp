#include "ConfigImage.h"
#include "ValueTable.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using S = ConfigSettings;
using Changes = QList<QPair<int, int>>; // setting, value
Q_DECLARE_METATYPE(Changes)

namespace {

// The order in which a file's fields are applied.
// clang-format off
const QList<S::Setting> kReadOrder{S::LambdaWarnBelow, S::LambdaWarnAbove, S::DisplayDelay,
    S::EgtWarn, S::BoostWarn, S::FourthPositionShown, S::SwitchToMeasuredValue,
    S::NoLeanWarningUnderVacuum, S::VacuumThreshold, S::Contrast, S::FourthPositionContent,
    S::StartValue, S::AnalogLambda0, S::AnalogLambda1, S::AnalogVoltage0, S::AnalogVoltage1,
    S::AnalogConverterFitted};
// clang-format on

// Settings before a reading: the last entry of every list, every check box checked.
S before()
{
    S s;
    for (S::Setting setting : S::allSettings())
        s.setValue(setting, S::kind(setting) == S::Kind::List ? ValueTable::size(setting) - 1 : 1);
    return s;
}

// What the file holds: a different value in every field.
S inFile()
{
    S s;
    for (S::Setting setting : S::allSettings())
        s.setValue(setting, S::kind(setting) == S::Kind::List ? 1 : 0);
    return s;
}

QByteArray bytes(const ConfigImage &image)
{
    return QByteArray(reinterpret_cast<const char *>(image.data()), image.size());
}

S randomSettings(QRandomGenerator &random)
{
    S s;
    for (S::Setting setting : S::allSettings()) {
        const int bound = S::kind(setting) == S::Kind::List ? ValueTable::size(setting) : 3;
        s.setValue(setting, random.bounded(bound)); // Check1's indeterminate is refused
    }
    return s;
}

} // namespace

class TestConfigImage : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString writeFile(const QByteArray &content)
    {
        const QString path = m_dir.filePath(QStringLiteral("image.eep"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write the test file");
        return path;
    }

private slots:
    void build_data()
    {
        QTest::addColumn<Changes>("changes");
        QTest::addColumn<QByteArray>("image");
        // clang-format off
        QTest::newRow("defaults") << Changes{}
            << QByteArray::fromHex("000000000000000200000001000041410000000000");
        // 100 ms, 950 °C, boost "1,00", lambda below "0,80", above "1,20".
        QTest::newRow("example")
            << Changes{{S::DisplayDelay, 4}, {S::EgtWarn, 950}, {S::BoostWarn, 123},
                       {S::LambdaWarnBelow, 16}, {S::LambdaWarnAbove, 56}}
            << QByteArray::fromHex("6400b6037b50780200000001000041410000000000");
        QTest::newRow("upper ends")
            << Changes{{S::FourthPositionShown, 1}, {S::Contrast, 2}, {S::EgtWarn, 1250},
                       {S::VacuumThreshold, 59}, {S::AnalogLambda1, 190}, {S::AnalogVoltage1, 255},
                       {S::AnalogConverterFitted, 1}, {S::SwitchToMeasuredValue, 2}}
            << QByteArray::fromHex("0000e2040000000302003bff000041ff00ff010000");
        // clang-format on
    }

    void build()
    {
        QFETCH(Changes, changes);
        S s;
        for (const auto &[setting, value] : changes)
            QVERIFY(s.setValue(S::Setting(setting), value));
        QFETCH(QByteArray, image);
        QCOMPARE(bytes(BuildConfigImage(s)).toHex(' '), image.toHex(' '));
    }

    void read_data()
    {
        // The file holds inFile()'s image with some bytes patched. `applied` fields (in read
        // order) take the file's values; the rest keep before()'s; `changes` come on top.
        QTest::addColumn<QByteArray>("patch"); // offset, byte, offset, byte, ...
        QTest::addColumn<int>("applied");
        QTest::addColumn<Changes>("changes");
        const auto p = [](std::initializer_list<int> pairs) {
            QByteArray a;
            for (int b : pairs)
                a.append(char(b));
            return a;
        };
        QTest::newRow("delay 510") << p({0, 0xFE, 1, 1}) << 17 << Changes{{S::DisplayDelay, 20}};
        QTest::newRow("delay 513") << p({0, 0x01, 1, 2}) << 2 << Changes{};
        QTest::newRow("delay 0x8000") << p({0, 0, 1, 0x80}) << 17 << Changes{{S::DisplayDelay, 0}};
        QTest::newRow("lambda 64") << p({5, 64}) << 17 << Changes{{S::LambdaWarnBelow, 0}};
        QTest::newRow("lambda 255") << p({6, 255}) << 17 << Changes{{S::LambdaWarnAbove, 191}};
        QTest::newRow("lambda 10") << p({5, 10}) << 0 << Changes{};
        QTest::newRow("lambda 63") << p({6, 63}) << 1 << Changes{};
        QTest::newRow("check state 2")
            << p({8, 2, 9, 2}) << 17
            << Changes{{S::SwitchToMeasuredValue, 2}, {S::NoLeanWarningUnderVacuum, 2}};
        QTest::newRow("contrast 7")
            << p({11, 7}) << 17 << Changes{{S::Contrast, before().value(S::Contrast)}};
        QTest::newRow("da 256") << p({19, 1}) << 16 << Changes{};
    }

    void read()
    {
        QFETCH(QByteArray, patch);
        QFETCH(int, applied);
        QFETCH(Changes, changes);
        QByteArray file = bytes(BuildConfigImage(inFile()));
        for (int i = 0; i + 1 < patch.size(); i += 2)
            file[quint8(patch[i])] = patch[i + 1];

        S expected = before();
        for (int i = 0; i < applied; ++i)
            expected.setValue(kReadOrder[i], inFile().value(kReadOrder[i]));
        for (const auto &[setting, value] : changes)
            expected.setValue(S::Setting(setting), value);

        S settings = before();
        ApplyConfigImage(writeFile(file), settings);
        for (S::Setting s : S::allSettings())
            QVERIFY2(settings.value(s) == expected.value(s), qPrintable(S::controlName(s)));
    }

    void fileSizes()
    {
        // An empty file reads as zeros: offsets 0..13 apply (Check1 and contrast stay), and
        // the analog lambda byte 0 ends it.
        S settings = before();
        ApplyConfigImage(writeFile(QByteArray()), settings);
        S expected = S();
        for (S::Setting s :
             {S::FourthPositionShown, S::Contrast, S::AnalogConverterFitted, S::AnalogLambda0,
              S::AnalogLambda1, S::AnalogVoltage0, S::AnalogVoltage1})
            expected.setValue(s, before().value(s));
        QCOMPARE(settings, expected);

        // Exactly at the size limit a file still counts; one byte more changes nothing.
        QByteArray big = bytes(BuildConfigImage(inFile()));
        big.resize(ConfigImageFileLimit);
        settings = before();
        ApplyConfigImage(writeFile(big), settings);
        QCOMPARE(settings, inFile());
        big.append('\0');
        settings = before();
        ApplyConfigImage(writeFile(big), settings);
        QCOMPARE(settings, before());

        // Neither a missing file nor a folder changes anything.
        ApplyConfigImage(m_dir.filePath(QStringLiteral("missing.eep")), settings);
        ApplyConfigImage(m_dir.path(), settings);
        QCOMPARE(settings, before());
    }

    void writeInPlace()
    {
        const QByteArray old(128, char(0xA5));
        const QString path = writeFile(old);
        QVERIFY(WriteConfigImageFile(path, inFile()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), bytes(BuildConfigImage(inFile())) + old.mid(21));
    }

    void roundTrip()
    {
        QRandomGenerator random(20240611);
        const QString path = m_dir.filePath(QStringLiteral("round.eep"));
        for (int i = 0; i < 2000; ++i) {
            const S saved = randomSettings(random);
            QVERIFY(WriteConfigImageFile(path, saved));
            S opened = randomSettings(random);
            ApplyConfigImage(path, opened);
            QCOMPARE(opened, saved);
        }
    }
};

QTEST_APPLESS_MAIN(TestConfigImage)
#include "tst_configimage.moc"
