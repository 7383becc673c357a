#pragma once

#include "ScriptedPort.h"
#include "TestContext.h"
#include "sim/GaugeSimulator.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

// Simulated gauges in the test's private port folder, the one CTest names in IVEVA_PORT_DIR and
// testContext() hands to the code under test. No port is left in it before or after.
class SimulatedPorts
{
public:
    SimulatedPorts() { clear(); }
    ~SimulatedPorts()
    {
        m_sims.clear();
        clear();
    }

    sim::GaugeSimulator &add(int com, sim::GaugeOptions options = {})
    {
        m_sims.push_back(std::make_unique<sim::GaugeSimulator>(options));
        if (!m_sims.back()->start(m_dir, com))
            qFatal("simulator on COM%d does not start", com);
        return *m_sims.back();
    }
    QString dir() const { return m_dir; }

private:
    // Removes the COMn links that simulators and tests leave, nothing else: run by hand, the
    // folder may be someone's own.
    void clear()
    {
        if (m_dir.isEmpty() || !QDir().mkpath(m_dir))
            qFatal("IVEVA_PORT_DIR must name the test's own port folder: run it through CTest");
        for (const QFileInfo &entry :
             QDir(m_dir).entryInfoList({QStringLiteral("COM*")}, QDir::AllEntries | QDir::System)) {
            if (entry.isSymLink())
                QFile::remove(entry.filePath());
        }
    }

    const QString m_dir = qEnvironmentVariable("IVEVA_PORT_DIR");
    std::vector<std::unique_ptr<sim::GaugeSimulator>> m_sims;
};

// A file of `size` bytes with a pattern that shows every position.
inline QString writeFile(const QTemporaryDir &dir, const QString &name, int size)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(filePattern(size)) != size)
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// The gauge's bootloader on a scripted port on which only the given COM numbers open; with
// `answersEntry` false it never answers the entry characters.
struct ScriptedBootloader
{
    std::unique_ptr<ScriptedPort> port = std::make_unique<ScriptedPort>();
    ScriptedPort *wire = port.get();
    bool answersEntry = true;
    BootloaderScript bootloader;

    explicit ScriptedBootloader(const QList<int> &openable)
    {
        for (int n = 1; n <= 99; ++n) {
            if (!openable.contains(n))
                wire->unopenable.insert(n);
        }
        wire->onWrite = [this](ScriptedPort &p, const QByteArray &bytes) {
            bootloader.echoAfter = answersEntry ? 1 : 0;
            bootloader.onWrite(p, bytes);
        };
    }
};
