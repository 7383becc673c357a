#pragma once

#include "sim/GaugeSimulator.h"

#include <QDir>
#include <QFile>

#include <memory>
#include <vector>

// Simulated gauges in a port folder, by default the test's private one that CTest names in
// IVEVA_PORT_DIR and testContext() hands to the code under test. No port is left in it before
// or after; the simulators stop with it.
class SimulatedPorts
{
public:
    explicit SimulatedPorts(QString dir = qEnvironmentVariable("IVEVA_PORT_DIR"))
        : m_dir(std::move(dir))
    {
        clear();
    }
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

    const QString m_dir;
    std::vector<std::unique_ptr<sim::GaugeSimulator>> m_sims;
};
