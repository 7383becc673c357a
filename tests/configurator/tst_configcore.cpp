#include "TestFiles.h"
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

// clang-format off
const QList<S::Setting> kReadOrder{S::LambdaWarnBelow, S::LambdaWarnAbove, S::DisplayDelay,
    S::EgtWarn, S::BoostWarn, S::FourthPositionShown, S::SwitchToMeasuredValue,
    S::NoLeanWarningUnderVacuum, S::VacuumThreshold, S::Contrast, S::FourthPositionContent,
    S::StartValue, S::AnalogLambda0, S::AnalogLambda1, S::AnalogVoltage0, S::AnalogVoltage1,
    S::AnalogConverterFitted};
// clang-format on

// The window before a reading (last entries, boxes checked), or a file differing in each field.
S filled(bool last)
{
    S s;
    for (S::Setting setting : S::allSettings()) {
        const bool list = S::kind(setting) == S::Kind::List;
        s.setValue(setting, list ? (last ? ValueTable::size(setting) - 1 : 1) : int(last));
    }
    return s;
}
const auto before = [] { return filled(true); };
const auto inFile = [] { return filled(false); };

QByteArray bytes(const ConfigImage &image)
{
    return QByteArray(reinterpret_cast<const char *>(image.data()), image.size());
}

// da, lambda 0 and 1 (list indexes, lambda 0,65 + i/100), voltage 0 and 1 (codes, 5k/255 V).
AnalogCharacteristic characteristic(const QList<int> &analog, double stoich)
{
    S s;
    for (int i = 0; i < 5; ++i)
        s.setValue(S::Setting(S::AnalogConverterFitted + i), analog[i]);
    return AnalogCharacteristic(s, stoich);
}

} // namespace

class TestConfigCore : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString writeFile(const QByteArray &content, const QString &name = "image.eep")
    {
        return writeBytes(m_dir.filePath(name), content);
    }

private slots:
    // Each list's ends, the texts where rounding is easiest to get wrong; no pressure reads 0.
    void lists_data()
    {
        QTest::addColumn<S::Setting>("setting");
        QTest::addColumn<Spots>("spots"); // the last one at the list's last entry
        const auto row = [](S::Setting s, const Spots &spots) {
            QTest::newRow(qPrintable(S::controlName(s))) << s << spots;
        };
        row(S::LambdaWarnBelow, {{0, "AUS"}, {1, "0,65"}, {191, "2,55"}});
        row(S::AnalogLambda0, {{0, "0,65"}, {190, "2,55"}});
        row(S::EgtWarn, {{0, "AUS"}, {1250, "1250 °C"}});
        row(S::DisplayDelay, {{0, "0 ms"}, {20, "500 ms"}});
        row(S::BoostWarn,
            {{1, "-0,95"}, {5, "-0,89"}, {60, "-0,01"}, {61, "0,01"}, {65, "0,08"}, {255, "3,12"}});
        row(S::VacuumThreshold, {{0, "-0,95"}, {59, "-0,01"}});
        row(S::AnalogVoltage0, {{0, "0,000 V"}, {1, "0,020 V"}, {51, "1,000 V"}, {255, "5,000 V"}});
    }

    void lists()
    {
        QFETCH(S::Setting, setting);
        QFETCH(Spots, spots);
        const QList<ValueEntry> &entries = ValueTable::entries(setting);
        QCOMPARE(entries.size(), spots.last().first + 1);
        for (const auto &[index, text] : spots)
            QCOMPARE(entries.at(index).text, text);
        for (const ValueEntry &entry : entries)
            QVERIFY(!entry.text.endsWith(QStringLiteral("0,00")));
    }

    // 100 ms, 1250 °C, boost "1,00", lambda below "0,80" and above "1,20", the fourth position
    // shown, "HELL", the upper ends of the vacuum and the analog point 1, and two check states.
    void build()
    {
        S s;
        // clang-format off
        for (const auto &[setting, value] : Changes{{S::DisplayDelay, 4}, {S::EgtWarn, 1250},
                {S::BoostWarn, 123}, {S::LambdaWarnBelow, 16}, {S::LambdaWarnAbove, 56},
                {S::FourthPositionShown, 1}, {S::Contrast, 2}, {S::VacuumThreshold, 59},
                {S::AnalogLambda1, 190}, {S::AnalogVoltage1, 255}, {S::AnalogConverterFitted, 1},
                {S::SwitchToMeasuredValue, 2}})
            QVERIFY(s.setValue(S::Setting(setting), value));
        // clang-format on
        QCOMPARE(bytes(BuildConfigImage(s)).toHex(' '),
                 QByteArray("64 00 e2 04 7b 50 78 03 02 00 3b ff 00 00 41 ff 00 ff 01 00 00"));
    }

    void read_data()
    {
        // The file holds inFile()'s image with some bytes patched. `applied` fields (in read
        // order) take the file's values; the rest keep before()'s; `changes` come on top.
        QTest::addColumn<QList<int>>("patch"); // offset, byte, offset, byte, ...
        QTest::addColumn<int>("applied");
        QTest::addColumn<Changes>("changes");
        using p = QList<int>;
        QTest::newRow("delay 510") << p{0, 0xFE, 1, 1} << 17 << Changes{{S::DisplayDelay, 20}};
        QTest::newRow("delay 513") << p{0, 0x01, 1, 2} << 2 << Changes{};
        QTest::newRow("delay 0x8000") << p{0, 0, 1, 0x80} << 17 << Changes{{S::DisplayDelay, 0}};
        QTest::newRow("lambda 64") << p{5, 64} << 17 << Changes{{S::LambdaWarnBelow, 0}};
        QTest::newRow("lambda 255") << p{6, 255} << 17 << Changes{{S::LambdaWarnAbove, 191}};
        QTest::newRow("lambda 63") << p{5, 63} << 0 << Changes{};
        QTest::newRow("check state 2")
            << p{8, 2, 9, 2} << 17
            << Changes{{S::SwitchToMeasuredValue, 2}, {S::NoLeanWarningUnderVacuum, 2}};
        QTest::newRow("contrast 7 kept") << p{11, 7} << 17 << Changes{{S::Contrast, 2}};
        QTest::newRow("da 256") << p{19, 1} << 16 << Changes{};
    }

    void read()
    {
        QFETCH(QList<int>, patch);
        QFETCH(int, applied);
        QFETCH(Changes, changes);
        QByteArray file = bytes(BuildConfigImage(inFile()));
        for (int i = 0; i + 1 < patch.size(); i += 2)
            file[patch[i]] = char(patch[i + 1]);

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

    // An empty file reads as zeros: offsets 0..13 apply (Check1 and contrast stay), and the
    // analog lambda byte 0 ends it. A file of the size limit still counts; one byte more not.
    void fileSizes()
    {
        S settings = before(), expected;
        ApplyConfigImage(writeFile({}), settings);
        for (S::Setting s : kReadOrder.mid(12) + QList{S::FourthPositionShown, S::Contrast})
            expected.setValue(s, before().value(s));
        QCOMPARE(settings, expected);

        QByteArray big = bytes(BuildConfigImage(inFile()));
        big.resize(ConfigImageFileLimit);
        ApplyConfigImage(writeFile(big + '\0'), settings = before());
        QCOMPARE(settings, before());
        ApplyConfigImage(writeFile(big), settings);
        QCOMPARE(settings, inFile());
    }

    void failedWrite_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("old"); // empty: no file yet
        QTest::newRow("new") << m_dir.filePath("new.eep") << QByteArray();
        QTest::newRow("shorter") << writeFile("abcde", "short.eep") << QByteArray("abcde");
        QTest::newRow("longer") << writeFile(QByteArray(30, 'x'), "long") << QByteArray(30, 'x');
        const QString link = m_dir.filePath("link.eep");
        QFile::link(m_dir.filePath("nowhere.eep"), link);
        QTest::newRow("link leading nowhere") << link << QByteArray();
    }

    // A write that fails part-way (a file size limit of 10 bytes stands in for a full disk)
    // says why and leaves the file as it was, or no file where there was none.
    void failedWrite()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, old);
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit small{10, saved.rlim_max};
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        QString reason;
        const bool written = WriteConfigImageFile(path, inFile(), &reason);
        setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY(!written);
        QCOMPARE(reason, QString::fromLocal8Bit(std::strerror(EFBIG)));
        QCOMPARE(QFile::exists(path), !old.isEmpty());
        QCOMPARE(readBytes(path), old);
        // A link stays where it was, whatever happened behind it.
        QCOMPARE(QFileInfo(path).isSymLink(), path.endsWith(QLatin1String("link.eep")));
    }

    void roundTrip()
    {
        QRandomGenerator random(20240611);
        const auto randomSettings = [&random] {
            S s;
            // Values past a short list's end and Check1's indeterminate are refused.
            for (S::Setting setting : S::allSettings())
                s.setValue(setting, random.bounded(qMax(ValueTable::size(setting), 3)));
            return s;
        };
        const QString path = m_dir.filePath(QStringLiteral("round.eep"));
        for (int i = 0; i < 2000; ++i) {
            const S saved = randomSettings();
            QVERIFY(WriteConfigImageFile(path, saved));
            S opened = randomSettings();
            ApplyConfigImage(path, opened);
            QCOMPARE(opened, saved);
        }
    }

    void analogLine_data()
    {
        QTest::addColumn<QList<int>>("analog"); // see characteristic()
        QTest::addColumn<double>("stoich");
        QTest::addColumn<QList<Note>>("notes");
        QTest::addColumn<QString>("line");
        QTest::addColumn<double>("resolution");
        QTest::addColumn<int>("row"); // of the table, checked as printed
        QTest::addColumn<QString>("rowText");
        const auto row = [](const char *tag, QList<int> analog, double stoich, QList<Note> notes,
                            const QString &line, double resolution, int row, const QString &text) {
            QTest::newRow(tag) << analog << stoich << notes << line << resolution << row << text;
        };
        row("rising", {1, 15, 55, 0, 255}, 14.7, {}, "Lambda = 0,8000 + 0,0800 * U", 0.4 / 255, 5,
            "2,500;1,000;14,70");
        // Halves round away from zero, also 2,55 * 14,5 = 36,975, a hair below it in binary.
        row("extremes, Diesel", {1, 0, 190, 0, 255}, 14.5, {}, "Lambda = 0,6500 + 0,3800 * U",
            1.9 / 255, 10, "5,000;2,550;36,98");
        row("one step, E85", {1, 190, 0, 254, 255}, 9.77, {Note::Falling},
            "Lambda = 485,1500 - 96,9000 * U", 1.9, 1, "4,982;2,360;23,06");
        // Two points of the same voltage or the same lambda give no line, only the points.
        row("same voltage", {0, 15, 55, 51, 51}, 14.7,
            {Note::ConverterNotFitted, Note::SameVoltage}, "", 0, 0, "");
        row("same lambda", {2, 35, 35, 0, 255}, 14.7,
            {Note::ConverterIndeterminate, Note::SameLambda}, "", 0, 0, "");
    }

    void analogLine()
    {
        QFETCH(QList<int>, analog);
        QFETCH(double, stoich);
        const AnalogCharacteristic c = characteristic(analog, stoich);
        QTEST(c.notes, "notes");
        const QStringList lines = c.calibrationText().split('\n', Qt::SkipEmptyParts);
        QFETCH(QString, line);
        QCOMPARE(c.hasLine, !line.isEmpty());
        if (!c.hasLine) {
            QCOMPARE(lines.size(), 2);
            return;
        }
        QCOMPARE(lines.size(), 4 + AnalogCharacteristic::TableRows); // points, line, header
        QCOMPARE(lines.at(2), line);
        QFETCH(int, row);
        QTEST(lines.at(4 + row), "rowText");
        QTEST(c.resolution, "resolution");
        // The table runs exactly from point 0 to point 1, and the line goes through both.
        for (int i : {0, 1}) {
            const AnalogCharacteristic::Row &end = c.table.at(i * (c.table.size() - 1));
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
            QVERIFY(LoadImageFile(path).problem == ImageProblem::Unreadable);
        }
    }

    // A file of gigabytes, picked by mistake, is counted, not read.
    void hugeImageFile()
    {
        QFile huge(m_dir.filePath(QStringLiteral("huge.bin")));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(5) << 30));
        huge.close();
        const LoadedImage loaded = LoadImageFile(huge.fileName());
        QVERIFY(loaded.problem == ImageProblem::TooLarge && loaded.image.bytes().isEmpty());
        QCOMPARE(ImageBlockCount(loaded.fileSize),
                 int((qint64(5) << 30) / FlashImage::BlockSize + 1));
    }
};

QTEST_APPLESS_MAIN(TestConfigCore)
#include "tst_configcore.moc"
