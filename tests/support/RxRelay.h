#pragma once

#include <QString>

#include <atomic>
#include <chrono>
#include <sys/types.h>
#include <thread>

// Stands in for the gauge in front of lrzsz's rx: publishes a pseudo-terminal as COMn in a
// port folder, plays the entry exchange (echoes the first entry character the PC sends), then
// starts `rx -b NAME` in a work folder and passes the bytes between the PC and rx, which sends
// the handshake NAK itself and answers every frame in checksum mode.
// With `entryExchange` off the relay starts rx at once, for senders such as lrzsz's sx.
class RxRelay
{
public:
    RxRelay() = default;
    ~RxRelay();
    RxRelay(const RxRelay &) = delete;
    RxRelay &operator=(const RxRelay &) = delete;

    bool start(const QString &portDir, int comNumber, const QString &workDir,
               const QString &fileName, bool entryExchange = true);
    // Waits for rx to end (after the EOT) and returns its exit code, -1 on timeout.
    int waitForRx(int timeoutMs);
    void stop();

    // When the sender's first byte after the entry exchange and its last byte reached rx: the
    // time the block exchange took, measured the same way for every sender.
    std::chrono::steady_clock::time_point firstForwarded() const { return m_firstForwarded; }
    std::chrono::steady_clock::time_point lastForwarded() const { return m_lastForwarded; }

    QString linkPath() const { return m_linkPath; }
    QString devicePath() const { return m_devicePath; }

private:
    void run();
    bool startRx();
    static void writeAll(int fd, const char *bytes, size_t size);

    QString m_linkPath;
    QString m_devicePath;
    QString m_workDir;
    QString m_fileName;
    bool m_entryExchange = true;
    int m_master = -1;
    int m_slave = -1;
    int m_toRx = -1;
    int m_fromRx = -1;
    int m_wake[2] = {-1, -1};
    std::atomic<pid_t> m_rx{-1};
    std::atomic<bool> m_stop{false};
    std::chrono::steady_clock::time_point m_firstForwarded;
    std::chrono::steady_clock::time_point m_lastForwarded;
    std::thread m_thread;
};
