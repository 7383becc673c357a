#include "PortFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestPortFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }

private slots:
    void readAndWrite_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("newPort");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("missing") << false << QByteArray() << 0 << 3 << QByteArray("\x03");
        QTest::newRow("empty") << true << QByteArray() << 0 << 255 << QByteArray("\xff");
        QTest::newRow("0") << true << QByteArray(1, '\0') << 0 << 12 << QByteArray("\x0c");
        QTest::newRow("255") << true << QByteArray("\xff") << 255 << 0 << QByteArray(1, '\0');
        QTest::newRow("several bytes")
            << true << QByteArray("\x07\x01\x02\xff") << 7 << 9 << QByteArray("\x09\x01\x02\xff");
    }

    void readAndWrite()
    {
        QFETCH(bool, exists);
        QFETCH(QByteArray, before);
        const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        if (exists) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(before), before.size());
        }
        const PortFile portFile(path);
        QTEST(int(portFile.readPort()), "port");
        // Reading leaves the file as it was, except that a missing one now exists, empty.
        QCOMPARE(contents(path), before);

        QFETCH(int, newPort);
        QVERIFY(portFile.writePort(quint8(newPort)));
        QTEST(contents(path), "after");
        QCOMPARE(int(portFile.readPort()), newPort);
    }

    void unreadableReadsAsZero()
    {
        QCOMPARE(int(PortFile(m_dir.path()).readPort()), 0); // a folder
        QVERIFY(!PortFile(m_dir.path()).writePort(5));
    }
};

QTEST_APPLESS_MAIN(TestPortFile)
#include "tst_portfile.moc"
