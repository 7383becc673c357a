#pragma once

#include "GaugeSimulator.h"
#include "ScriptedPort.h"

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

    GaugeSimulator &add(int com, GaugeOptions options = {})
    {
        m_sims.push_back(std::make_unique<GaugeSimulator>(options));
        QString error;
        if (!m_sims.back()->start(m_dir.path(), com, &error))
            qFatal("simulator on COM%d: %s", com, qPrintable(error));
        return *m_sims.back();
    }

    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    std::vector<std::unique_ptr<GaugeSimulator>> m_sims;
};

// A file of `size` bytes with a pattern that shows every position.
inline QString writeFile(const QTemporaryDir &dir, const QString &name, int size)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + 3) & 0xFF);
    file.write(bytes);
    return path;
}

// The gauge's bootloader on a scripted port: echoes the first entry character, sends the
// handshake NAK and acknowledges every complete frame. `onFrameStart` runs as each frame's SOH
// is written, before the rest of the block goes out.
struct ScriptedBootloader
{
    bool answersEntry = true;
    std::function<void()> onFrameStart;
    int frameBytes = 0;
    int frames = 0;
    bool inBlocks = false;

    void attach(ScriptedPort &port)
    {
        port.onWrite = [this](ScriptedPort &p, const QByteArray &bytes) { onWrite(p, bytes); };
    }

    void onWrite(ScriptedPort &port, const QByteArray &bytes)
    {
        if (!inBlocks) {
            if (answersEntry) {
                port.answerAfter(3, bytes);
                port.answerAfter(10, QByteArray(1, 0x15));
                inBlocks = true;
            }
            return;
        }
        if (frameBytes == 0) {
            if (bytes != QByteArray(1, 0x01))
                return; // EOT or CAN
            if (onFrameStart)
                onFrameStart();
        }
        frameBytes += int(bytes.size());
        if (frameBytes < 132)
            return;
        frameBytes = 0;
        ++frames;
        port.answerAfter(4, QByteArray(1, 0x06));
    }
};

// A scripted port on which only the given COM numbers open.
inline std::unique_ptr<ScriptedPort> scriptedPortWith(const QList<int> &openable)
{
    auto port = std::make_unique<ScriptedPort>();
    for (int n = 1; n <= 99; ++n) {
        if (!openable.contains(n))
            port->unopenable.insert(n);
    }
    return port;
}
