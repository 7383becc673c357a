#pragma once

#include "ScriptedPort.h"
#include "SimulatedPorts.h"
#include "TestContext.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

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
