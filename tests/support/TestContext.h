#pragma once

#include "devicelink/ComPort.h"
#include "shell/RunContext.h"

#include <QDir>
#include <memory>

// The run context a test hands to the code under test instead of changing the process: the
// private port folder CTest gives every test, a poll time and a working folder of its own.
inline shell::RunContext testContext(const QString &workingFolder = QDir::currentPath(),
                                     qint64 pollIntervalUs = 5)
{
    shell::RunContext context;
    context.link.portDir = qEnvironmentVariable("IVEVA_PORT_DIR");
    context.link.pollIntervalUs = pollIntervalUs;
    context.workingFolder = workingFolder;
    return context;
}

// Real ports in the test's port folder.
inline devicelink::PortFactory testComPorts(const shell::RunContext &context = testContext())
{
    return [link = context.link] { return std::make_unique<devicelink::ComPort>(link); };
}

// A file's bytes: a pattern in which every position shows.
inline QByteArray filePattern(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 37 + 11) & 0xFF);
    return bytes;
}
