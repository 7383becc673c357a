#pragma once

#include "devicelink/LinkFailure.h"
#include "devicelink/LinkHooks.h"
#include "devicelink/Poller.h"
#include "devicelink/SerialPort.h"

#include <QList>
#include <functional>

namespace devicelink {

// The identification exchange: the PC writes "d", the gauge answers "d" + version + "e".
namespace Identification {

// Writes the request "d", `writes` times, one write each. False when the port failed.
bool sendRequest(SerialPort &port, int writes);

enum class AnswerRule
{
    EAndD, // a read containing "e" ends the wait once the receive text holds a "d"
    E      // a read containing "e" ends the wait
};

// Reads up to `budget` polls, appending every read to `receiveText`, until the rule is met.
// Returns Bytes when it was met, PollsSpent, Lost or Cancelled otherwise.
Poller::End readAnswer(Poller &poller, qint64 budget, QByteArray &receiveText, AnswerRule rule);

} // namespace Identification

// The two programs' device searches differ in these points.
struct SearchVariant
{
    int requestWrites; // "d" written this many times
    qint64 readBudget; // polls per port
    int versionOffset; // where the version starts, counted from the "d"
    int versionLength; // how many characters it has
    bool logsProgress; // start line, not-found lines and found lines in the log

    // Two requests, 10,000 polls, 4 characters after the "V" (the message adds its own "V").
    static SearchVariant configurator() { return {2, 10'000, 2, 4, false}; }
    // One request, 100,000 polls, the 5 characters after the "d", every step logged.
    static SearchVariant flasher() { return {1, 100'000, 1, 5, true}; }
};

struct SearchResult
{
    // PortLost (a port failed during its attempt) or Cancelled stopped the search there.
    std::optional<LinkFailure> failure;
    int index = -1;     // position of the found port in the searched list; -1 when none answered
    int portNumber = 0; // its COM number
    QString version;    // cut from the answer as the variant says

    bool found() const { return index >= 0; }
};

// Tries the ports in list order with the identification exchange and stops at the first that
// answers. `announceFind` runs while that port is still open (the configurator's message box);
// the flasher variant logs its lines instead.
// The port is closed when the search returns.
SearchResult
SearchDevice(SerialPort &port, const QList<int> &portNumbers, int baudRate,
             const SearchVariant &variant, const LinkHooks &hooks,
             const std::function<void(int portNumber, const QString &version)> &announceFind = {});

} // namespace devicelink
