#pragma once

#include "GaugeSimulator.h"
#include "UserDialogs.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// Answers the windows' file dialogs from a queue and records every message box.
class ScriptedDialogs : public UserDialogs
{
public:
    QStringList fileNames;                   // answers in turn; an empty string cancels
    QStringList initialNames;                // what each file dialog offered
    QList<QPair<QString, QString>> messages; // title and text of every message box, in order

    QString openFileName(QWidget *, const QString &name) override { return answer(name); }
    QString saveFileName(QWidget *, const QString &name) override { return answer(name); }
    void information(QWidget *, const QString &title, const QString &text) override
    {
        messages.append({title, text});
    }
    void warning(QWidget *, const QString &title, const QString &text) override
    {
        messages.append({title, text});
    }

private:
    QString answer(const QString &initialName)
    {
        initialNames.append(initialName);
        return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
    }
};

// A private working folder (where "port.dll" and "configs.eep" live) and a private port folder
// for the simulated gauges; the old working folder comes back at the end.
class Workspace
{
public:
    Workspace() : m_oldCurrent(QDir::currentPath())
    {
        QDir(m_work.path()).mkpath(QStringLiteral("ports"));
        QDir::setCurrent(m_work.path());
        qputenv("IVEVA_PORT_DIR", QFile::encodeName(portDir()));
    }
    ~Workspace() { QDir::setCurrent(m_oldCurrent); }

    QString path(const QString &name) const { return QDir(m_work.path()).filePath(name); }
    QString portDir() const { return path(QStringLiteral("ports")); }

    // A simulated gauge published as COM<com>; stopped with the workspace.
    GaugeSimulator &gauge(int com, const GaugeOptions &options = {})
    {
        auto &sim = m_gauges.emplace_back(std::make_unique<GaugeSimulator>(options));
        QString error;
        if (!sim->start(portDir(), com, &error))
            qFatal("simulator: %s", qPrintable(error));
        return *sim;
    }

    void write(const QString &name, const QByteArray &bytes) const
    {
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), bytes.size());
    }
    QByteArray read(const QString &name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QTemporaryDir m_work;
    QString m_oldCurrent;
    std::vector<std::unique_ptr<GaugeSimulator>> m_gauges;
};

// The image files the tests use, offsets 0 to 20.
namespace Images {
inline QByteArray defaults()
{
    return QByteArray::fromHex("000000000000000200000001000041410000000000");
}
// The usual example: delay 100 ms, 950 °C, boost "1,00", lambda below "0,80", above "1,20".
inline QByteArray warnings()
{
    return QByteArray::fromHex("6400b6037b50780200000001000041410000000000");
}
// 1250 °C, fourth position shown, Check2 indeterminate, threshold "-0,01", contrast "HELL".
inline QByteArray extremes()
{
    return QByteArray::fromHex("0000e2040000000302003bff000041ff00ff010000");
}
} // namespace Images
