#include "FirmwareVersion.h"
#include "VersionFile.h"

#include <QLocale>
#include <QTest>

class TestVersionFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // A German desktop writes 2,16 for two point one six: the versions must not care.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }

    void fields_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("fields");
        const QStringList plain = {"V2.20", "http://h/f/v220.bin", "v220.bin"};
        QTest::newRow("commas") << QByteArray("V2.20,http://h/f/v220.bin,v220.bin") << plain;
        QTest::newRow("line ends, CRLF")
            << QByteArray("V2.20\r\nhttp://h/f/v220.bin\r\nv220.bin\r\n") << plain;
        QTest::newRow("leading blanks, empty lines")
            << QByteArray("  V2.20,\t http://h/f/v220.bin\n\n   v220.bin  \n") << plain;
        QTest::newRow("rest ignored")
            << QByteArray("V2.20\nhttp://h/f/v220.bin\nv220.bin,V9.99\nmore") << plain;
        QTest::newRow("quoted fields hold commas")
            << QByteArray("\"V2.20\", \"http://h/a,b.bin\",\"a, b.bin\"")
            << QStringList{"V2.20", "http://h/a,b.bin", "a, b.bin"};
        QTest::newRow("text after a closing quote dropped")
            << QByteArray("\"V2.20\" x,\"http://h/f.bin\"\n\" f.bin\"")
            << QStringList{"V2.20", "http://h/f.bin", " f.bin"};
        QTest::newRow("empty field between commas")
            << QByteArray("V2.20,,f.bin") << QStringList{"V2.20", "", "f.bin"};
        QTest::newRow("Latin-1 file")
            << QByteArray("V2.20,http://h/f.bin,neue Fassung \xe4.bin")
            << QStringList{"V2.20", "http://h/f.bin", "neue Fassung ä.bin"};
    }

    void fields()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, fields);
        const std::optional<VersionFile> file = VersionFile::parse(text);
        QVERIFY(file);
        QCOMPARE(QStringList({file->availableVersion(), file->copyAddress(), file->copyFileName()}),
                 fields);
    }

    void fewerThanThreeFields_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("two by comma") << QByteArray("V2.20,http://h/f.bin");
        QTest::newRow("two lines") << QByteArray("V2.20\r\nhttp://h/f.bin\r\n\r\n");
        QTest::newRow("trailing comma") << QByteArray("V2.20,http://h/f.bin,");
        QTest::newRow("commas inside quotes") << QByteArray("\"V2.20,http://h/f.bin,f.bin\"");
    }

    void fewerThanThreeFields()
    {
        QFETCH(QByteArray, text);
        QVERIFY(!VersionFile::parse(text));
    }

    // > 0: the server's version is higher than the gauge's; 0 equal; < 0 lower.
    void compareVersions_data()
    {
        QTest::addColumn<QString>("available");
        QTest::addColumn<QString>("installed");
        QTest::addColumn<int>("order");
        QTest::newRow("V2.20 above V2.16") << "V2.20"
                                           << "V2.16" << 1;
        QTest::newRow("V2.16 equal") << "V2.16"
                                     << "V2.16" << 0;
        QTest::newRow("V2.1 below V2.16") << "V2.1"
                                          << "V2.16" << -1;
        QTest::newRow("V3 above V2.16, not 216") << "V3"
                                                 << "V2.16" << 1;
        QTest::newRow("V10.5 above V9.99") << "V10.5"
                                           << "V9.99" << 1;
        QTest::newRow("gauge text longer than five") << "V2.17"
                                                     << "V2.165" << 1;
    }

    void compareVersions()
    {
        QFETCH(QString, available);
        QFETCH(QString, installed);
        QFETCH(int, order);
        const std::optional<double> a = FirmwareVersion::availableNumber(available);
        const std::optional<double> i = FirmwareVersion::installedNumber(installed);
        QVERIFY(a && i);
        QCOMPARE((*a > *i) - (*a < *i), order);
    }

    void notANumber_data()
    {
        QTest::addColumn<QString>("text");
        for (const char *text :
             {"", "V", "V2,16", "Vx.yz", "V 2.16", "V-2.1", "V1e3", "V2.", "Vinf"})
            QTest::newRow(text) << QString::fromLatin1(text);
    }

    void notANumber()
    {
        QFETCH(QString, text);
        QVERIFY(!FirmwareVersion::availableNumber(text));
        QVERIFY(!FirmwareVersion::installedNumber(text));
    }
};

QTEST_GUILESS_MAIN(TestVersionFile)
#include "tst_versionfile.moc"
