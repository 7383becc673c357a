#pragma once

#include "TestFiles.h"
#include "devicelink/ComPort.h"
#include "shell/RunContext.h"

#include <QDir>
#include <atomic>
#include <future>
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

// Ports from `ports` whose `holdAt`-th opening waits until release(): a job held at its port
// while the test closes the window.
struct HeldPorts
{
    std::atomic<int> opened = 0;
    std::promise<void> released;
    devicelink::PortFactory factory;

    HeldPorts(devicelink::PortFactory ports, int holdAt)
        : factory([this, holdAt, wait = released.get_future().share(), ports] {
              if (++opened == holdAt)
                  wait.wait();
              return ports();
          })
    {}
    void release() { released.set_value(); }
};
