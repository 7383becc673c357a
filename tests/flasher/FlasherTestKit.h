#pragma once

#include "ScriptedPort.h"
#include "sim/GaugeSimulator.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

// A private port folder with simulated gauges in it, published as IVEVA_PORT_DIR.
class SimulatedPorts
{
public:
    SimulatedPorts() { qputenv("IVEVA_PORT_DIR", m_dir.path().toLocal8Bit()); }
    ~SimulatedPorts()
    {
        for (auto &sim : m_sims)
            sim->stop();
    }

    sim::GaugeSimulator &add(int com, sim::GaugeOptions options = {})
    {
        m_sims.push_back(std::make_unique<sim::GaugeSimulator>(options));
        if (!m_sims.back()->start(m_dir.path(), com))
            qFatal("simulator on COM%d does not start", com);
        return *m_sims.back();
    }
    QString dir() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    std::vector<std::unique_ptr<sim::GaugeSimulator>> m_sims;
};

// A file of `size` bytes with a pattern that shows every position.
inline QString writeFile(const QTemporaryDir &dir, const QString &name, int size)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + 3) & 0xFF);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != size)
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// The gauge's bootloader on a scripted port, on which only the given COM numbers open: echoes
// the first entry character (unless `answersEntry` is false), sends the handshake NAK and
// acknowledges every complete frame.
struct ScriptedBootloader
{
    std::unique_ptr<ScriptedPort> port = std::make_unique<ScriptedPort>();
    ScriptedPort *wire = port.get();
    bool answersEntry = true;
    bool inBlocks = false;
    int frameBytes = 0;

    explicit ScriptedBootloader(const QList<int> &openable)
    {
        for (int n = 1; n <= 99; ++n) {
            if (!openable.contains(n))
                wire->unopenable.insert(n);
        }
        wire->onWrite = [this](ScriptedPort &p, const QByteArray &bytes) {
            if (!inBlocks) {
                inBlocks = answersEntry;
                if (answersEntry) {
                    p.answerAfter(3, bytes);
                    p.answerAfter(10, QByteArray(1, 0x15));
                }
            } else if (frameBytes > 0 || bytes.startsWith(char(0x01))) { // not EOT or CAN
                frameBytes += int(bytes.size());
                if (frameBytes >= 132) {
                    frameBytes = 0;
                    p.answerAfter(4, QByteArray(1, 0x06));
                }
            }
        };
    }
};
