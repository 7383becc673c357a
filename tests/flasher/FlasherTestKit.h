#pragma once

#include "ScriptedPort.h"
#include "SimulatedPorts.h"
#include "TestContext.h"
#include "flasher/BatchMode.h"

#include <QTemporaryDir>
#include <QTest>

// The batch mode in this process, as the program runs it with `arguments`.
inline int runFlasherBatch(const QStringList &arguments, QTextStream &out, QTextStream &err,
                           bool percentLine = false, bool batched = false)
{
    using namespace flasher::BatchMode;
    const auto line =
        shell::CommandLine::parse(program(), QStringList{"iveva-flasher"} + arguments);
    shell::RunContext context = testContext();
    context.updateUrl = updateUrlOption(line);
    return Run(line, context, out, err, percentLine, batched);
}

// A file of `size` bytes with a pattern that shows every position.
inline QString writeFile(const QTemporaryDir &dir, const QString &name, int size)
{
    return writeBytes(dir.filePath(name), filePattern(size));
}
