#pragma once

#include "sim/GaugeOptions.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

namespace sim {

// Plays the gauge on the far side of a pseudo-terminal: the identification answer, the
// bootloader with its controller reset and block transfer, and the faults of GaugeOptions.
// It runs on its own thread, so a test can drive the PC side synchronously.
class GaugeSimulator
{
public:
    explicit GaugeSimulator(GaugeOptions options = {});
    ~GaugeSimulator();
    GaugeSimulator(const GaugeSimulator &) = delete;
    GaugeSimulator &operator=(const GaugeSimulator &) = delete;

    // Opens the pty and publishes it as portDir/COM<comNumber>; portDir is created if missing.
    bool start(const QString &portDir, int comNumber, QString *error = nullptr);
    // Closes the line (the PC sees a read error) and removes the link.
    void stop();

    QString devicePath() const; // the pty slave, e.g. /dev/pts/4
    QString linkPath() const;   // portDir/COMn

    int imagesStored() const;
    QByteArray lastFirmwareImage() const;
    QByteArray lastEepromImage() const;
    int entryCharsReceived() const;
    // Blocks until at least `count` images have been stored since start(), or the timeout.
    // Counting (rather than "the next one") means an image stored before the call is not missed.
    bool waitForImages(int count, std::chrono::milliseconds timeout) const;

private:
    using Clock = std::chrono::steady_clock;
    enum class Mode
    {
        Application,
        WaitingForEntry,
        Blocks,
        Disconnected
    };
    struct Incoming
    {
        char byte;
        Clock::time_point due;
    };
    struct Outgoing
    {
        QByteArray bytes;
        Clock::time_point due;
    };

    void run();
    void readLine(Clock::time_point now);
    void processDue(Clock::time_point now);
    void handleByte(char byte, Clock::time_point at);
    void handleFrame(Clock::time_point at);
    void dropPartialFrame(Clock::time_point at);
    void storeImage();
    void disconnectLine();
    void flushOutgoing(Clock::time_point now);
    std::optional<Clock::time_point> nextDeadline() const;
    void answer(const QByteArray &bytes, Clock::time_point at);
    void enqueue(const QByteArray &bytes, Clock::time_point due);
    Clock::duration lineTime(qsizetype bytes) const;
    void applyReset();
    void closeFds();
    void removeLink();
    void log(const QString &line) const;

    const GaugeOptions m_options;

    // Owned by start()/stop() and, while running, by the simulator's thread only.
    int m_masterFd = -1;
    int m_slaveFd = -1;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    QString m_devicePath;
    QString m_linkPath;
    bool m_linkPublished = false;
    std::thread m_thread;

    Mode m_mode = Mode::Application;
    std::optional<Clock::time_point> m_resetAt;
    char m_entry = 0;
    int m_expectedBlock = 1; // counted 1..N
    QByteArray m_frame;
    Clock::time_point m_frameLastByte;
    QByteArray m_image;
    std::map<int, int> m_nakPending; // block -> NAKs still to give
    std::deque<Incoming> m_incoming;
    std::deque<Outgoing> m_outgoing;
    Clock::time_point m_rxLineFree;
    Clock::time_point m_txLineFree;
    Clock::time_point m_txLastDue;
    bool m_txBlocked = false;

    // Shared with the observers.
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_imageStored;
    bool m_stopRequested = false;
    int m_imagesStored = 0;
    int m_entryChars = 0;
    QByteArray m_lastFirmware;
    QByteArray m_lastEeprom;
};

} // namespace sim
