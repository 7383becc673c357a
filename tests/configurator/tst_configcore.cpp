// The configuration core: the value tables, the image file, the port file and the analog
// output's characteristic.

#include "configurator/core/AnalogCharacteristic.h"
#include "configurator/core/ConfigImage.h"
#include "configurator/core/PortFile.h"
#include "configurator/core/ValueTable.h"
#include "devicelink/FlashImage.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace devicelink;
using namespace configurator;

using S = ConfigSettings;
using Changes = QList<QPair<int, int>>; // setting, value
Q_DECLARE_METATYPE(Changes)
Q_DECLARE_METATYPE(ConfigSettings::Setting)
using Spots = QList<QPair<int, QString>>; // index, text
Q_DECLARE_METATYPE(Spots)
using Note = AnalogCharacteristic::Note;
Q_DECLARE_METATYPE(QList<Note>)

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

class TestConfigCore : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString writeFile(const QByteArray &content, QString path = {})
    {
        if (path.isEmpty())
            path = m_dir.filePath(QStringLiteral("image.eep"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write the test file");
        return path;
    }
    static QByteArray readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    // The ends of every computed list (its length with them) and the texts where rounding is
    // easiest to get wrong; the pressure list steps over zero without ever reading zero.
    void lists_data()
    {
        QTest::addColumn<S::Setting>("setting");
        QTest::addColumn<int>("size");
        QTest::addColumn<Spots>("spots");
        const auto row = [](S::Setting s, int size, const Spots &spots) {
            QTest::newRow(qPrintable(S::controlName(s))) << s << size << spots;
        };
        for (S::Setting s : {S::LambdaWarnBelow, S::LambdaWarnAbove})
            row(s, 192, {{0, "AUS"}, {1, "0,65"}, {191, "2,55"}});
        for (S::Setting s : {S::AnalogLambda0, S::AnalogLambda1})
            row(s, 191, {{0, "0,65"}, {190, "2,55"}});
        row(S::EgtWarn, 1251, {{0, "AUS"}, {1250, "1250 °C"}});
        row(S::DisplayDelay, 21, {{0, "0 ms"}, {20, "500 ms"}});
        row(S::BoostWarn, 256,
            {{0, "AUS"},
             {1, "-0,95"},
             {5, "-0,89"},
             {60, "-0,01"},
             {61, "0,01"},
             {65, "0,08"},
             {123, "1,00"},
             {255, "3,12"}});
        row(S::VacuumThreshold, 60, {{0, "-0,95"}, {59, "-0,01"}});
        for (S::Setting s : {S::AnalogVoltage0, S::AnalogVoltage1})
            row(s, 256, {{0, "0,000 V"}, {1, "0,020 V"}, {51, "1,000 V"}, {255, "5,000 V"}});
    }

    void lists()
    {
        QFETCH(S::Setting, setting);
        QFETCH(Spots, spots);
        const QList<ValueEntry> &entries = ValueTable::entries(setting);
        QTEST(int(entries.size()), "size");
        for (const auto &[index, text] : spots)
            QCOMPARE(entries.at(index).text, text);
        for (const ValueEntry &entry : entries)
            QVERIFY(!entry.text.endsWith(QStringLiteral("0,00")));
    }

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

    void writeInPlace_data()
    {
        QTest::addColumn<QByteArray>("old"); // empty: no file yet
        QTest::addColumn<int>("limit");      // the file size limit in bytes; 0: none
        QTest::newRow("longer file keeps its tail") << QByteArray(128, char(0xA5)) << 0;
        QTest::newRow("new file, disk full") << QByteArray() << 10;
        QTest::newRow("shorter file, full part-way") << QByteArray("abcde") << 10;
        QTest::newRow("longer file, full part-way") << QByteArray(30, 'x') << 10;
    }

    // A failed write leaves the file as it was; a small file size limit stands in for a full
    // disk.
    void writeInPlace()
    {
        QFETCH(QByteArray, old);
        QFETCH(int, limit);
        const QString path = m_dir.filePath(QStringLiteral("inplace-") + QTest::currentDataTag());
        if (!old.isEmpty())
            writeFile(old, path);
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = limit ? rlim_t(limit) : saved.rlim_cur;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        QString reason;
        const bool written = WriteConfigImageFile(path, inFile(), &reason);
        setrlimit(RLIMIT_FSIZE, &saved);

        QCOMPARE(written, limit == 0);
        QCOMPARE(reason, written ? QString() : QString::fromLocal8Bit(std::strerror(EFBIG)));
        QCOMPARE(QFile::exists(path), written || !old.isEmpty());
        QCOMPARE(readFile(path), written ? bytes(BuildConfigImage(inFile())) + old.mid(21) : old);
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

    void portFile_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("newPort");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("missing") << false << QByteArray() << 0 << 3 << QByteArray("\x03");
        QTest::newRow("empty") << true << QByteArray() << 0 << 255 << QByteArray("\xff");
        QTest::newRow("255") << true << QByteArray("\xff") << 255 << 0 << QByteArray(1, '\0');
        QTest::newRow("several bytes")
            << true << QByteArray("\x07\x01\x02\xff") << 7 << 9 << QByteArray("\x09\x01\x02\xff");
    }

    void portFile()
    {
        QFETCH(bool, exists);
        QFETCH(QByteArray, before);
        const QString path = m_dir.filePath(QStringLiteral("port-") + QTest::currentDataTag());
        if (exists)
            writeFile(before, path);
        const PortFile portFile(path);
        QTEST(int(portFile.readPort()), "port");
        // Reading leaves the file as it was, except that a missing one now exists, empty.
        QVERIFY(QFile::exists(path));
        QCOMPARE(readFile(path), before);

        QFETCH(int, newPort);
        QVERIFY(portFile.writePort(quint8(newPort)));
        QTEST(readFile(path), "after");
        QCOMPARE(int(portFile.readPort()), newPort);
    }

    void analogCharacteristic_data()
    {
        // Analog settings: da, lambda 0 and 1 (list indexes, lambda 0,65 + i/100), voltage 0
        // and 1 (codes, 5k/255 V). `row` of the table is checked as printed.
        QTest::addColumn<QList<int>>("analog");
        QTest::addColumn<double>("stoich");
        QTest::addColumn<QList<Note>>("notes");
        QTest::addColumn<QString>("line"); // empty: no line
        QTest::addColumn<double>("resolution");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("rowText");
        const auto row = [](const char *tag, QList<int> analog, double stoich, QList<Note> notes,
                            const char *line = "", double resolution = 0, int tableRow = 0,
                            const char *rowText = "") {
            QTest::newRow(tag) << analog << stoich << notes << QString::fromUtf8(line) << resolution
                               << tableRow << QString::fromUtf8(rowText);
        };
        row("rising", {1, 15, 55, 0, 255}, 14.7, {}, "Lambda = 0,8000 + 0,0800 * U", 0.4 / 255, 5,
            "2,500;1,000;14,70");
        row("falling", {1, 15, 55, 255, 0}, 14.7, {Note::Falling}, "Lambda = 1,2000 - 0,0800 * U",
            0.4 / 255, 5, "2,500;1,000;14,70");
        // Halves round away from zero, also 2,55 * 14,5 = 36,975, a hair below it in binary.
        row("half rounds up", {1, 20, 30, 0, 51}, 14.7, {}, "Lambda = 0,8500 + 0,1000 * U",
            0.1 / 51, 0, "0,000;0,850;12,50");
        row("extremes, Diesel", {1, 0, 190, 0, 255}, 14.5, {}, "Lambda = 0,6500 + 0,3800 * U",
            1.9 / 255, 10, "5,000;2,550;36,98");
        row("one step, E85", {1, 190, 0, 254, 255}, 9.77, {Note::Falling},
            "Lambda = 485,1500 - 96,9000 * U", 1.9, 1, "4,982;2,360;23,06");
        row("same voltage", {0, 15, 55, 51, 51}, 14.7,
            {Note::ConverterNotFitted, Note::SameVoltage});
        row("same lambda", {2, 35, 35, 0, 255}, 14.7,
            {Note::ConverterIndeterminate, Note::SameLambda});
        row("defaults", {0, 0, 0, 0, 0}, 14.7,
            {Note::ConverterNotFitted, Note::SameVoltage, Note::SameLambda});
    }

    void analogCharacteristic()
    {
        QFETCH(QList<int>, analog);
        QFETCH(double, stoich);
        S s;
        for (int i = 0; i < 5; ++i)
            QVERIFY(s.setValue(S::Setting(S::AnalogConverterFitted + i), analog[i]));
        const AnalogCharacteristic c(s, stoich);
        QTEST(c.notes, "notes");
        QFETCH(QString, line);
        QCOMPARE(c.hasLine, !line.isEmpty());
        const QStringList lines = c.calibrationText().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.at(0), QStringLiteral("Punkt 0: Lambda %1 = %2 V")
                                  .arg(ValueTable::entries(S::AnalogLambda0).at(analog[1]).text,
                                       ValueTable::voltageText(analog[3]).chopped(2)));
        if (!c.hasLine) {
            QCOMPARE(lines.size(), 2);
            return;
        }
        QCOMPARE(lines.at(2), line);
        QCOMPARE(lines.at(3), QStringLiteral("U/V;Lambda;AFR"));
        QCOMPARE(lines.size(), 4 + 11);
        QFETCH(int, row);
        QTEST(lines.at(4 + row), "rowText");
        QTEST(c.resolution, "resolution");
        // The table runs exactly from point 0 to point 1, and the line goes through both.
        for (int i : {0, 1}) {
            const auto &end = i == 0 ? c.table.first() : c.table.last();
            QCOMPARE(end.voltage, c.points[i].voltage);
            QCOMPARE(end.lambda, c.points[i].lambda);
            QCOMPARE(c.a + c.b * c.points[i].voltage, c.points[i].lambda);
        }
    }

    // A folder or a FIFO is no file of ours: nothing opens it (a FIFO would block for ever).
    void notRegularFiles()
    {
        const QString fifo = m_dir.filePath(QStringLiteral("fifo"));
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        for (const QString &path : {m_dir.path(), fifo}) {
            QCOMPARE(int(PortFile(path).readPort()), 0);
            QVERIFY(!PortFile(path).writePort(5));
            QVERIFY(!WriteConfigImageFile(path, inFile()));
            S settings = before();
            ApplyConfigImage(path, settings);
            QCOMPARE(settings, before());
            FlashImage image;
            QVERIFY(!LoadImageFile(path, image));
        }
    }
};

QTEST_APPLESS_MAIN(TestConfigCore)
#include "tst_configcore.moc"
