#pragma once

#include <QList>
#include <QString>

#include <chrono>
#include <functional>

namespace sim {

// How the simulated gauge behaves, including the faults it can play.
struct GaugeOptions
{
    // Sent between "d" and "e" in the identification answer.
    QString version = QStringLiteral("V2.16");
    // Time from the first entry character to the controller reset.
    std::chrono::milliseconds resetDelay{300};
    // Pause between the echo of the entry character and the NAK, so the PC sees two polls.
    std::chrono::milliseconds handshakeDelay{20};

    bool noReset = false;     // the controller never resets: entry characters are never echoed
    bool noHandshake = false; // the entry character is echoed, the NAK never follows
    // Blocks (counted 1..N) whose delivery is refused with NAK; each occurrence refuses one.
    QList<int> nakBlocks;
    bool silent = false;     // nothing is ever answered
    bool garbage = false;    // a burst of noise goes out a few ms before each answer
    bool split = false;      // answers go out one byte per write, ~2 ms apart
    int disconnectAfter = 0; // > 0: the line drops right after block k arrives, unanswered
    int baud = 0;            // > 0: bytes cost the line time of this speed in both directions

    // Where received images are stored; an empty path keeps an image in memory only.
    QString firmwarePath;
    QString eepromPath;

    // German status lines (image stored, line dropped, ...). Called on the simulator's thread.
    std::function<void(const QString &)> log;
};

} // namespace sim
