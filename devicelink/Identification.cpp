#include "devicelink/Identification.h"

#include "devicelink/LinkHints.h"
#include "devicelink/LinkTexts.h"
#include "devicelink/PortSettings.h"
#include "devicelink/Printable.h"
#include "protocol/ProtocolBytes.h"

namespace devicelink {

namespace Identification {

bool sendRequest(SerialPort &port, int writes)
{
    for (int i = 0; i < writes; ++i) {
        if (!port.write(QByteArray(1, protocol::Identify)))
            return false;
    }
    return true;
}

Poller::End readAnswer(Poller &poller, qint64 budget, QByteArray &receiveText, AnswerRule rule)
{
    qint64 left = budget;
    while (left > 0) {
        const Poller::Read read = poller.next(left);
        left -= read.polls;
        if (read.end != Poller::End::Bytes && read.end != Poller::End::PollsSpent)
            return read.end;
        receiveText.append(read.bytes);
        if (read.bytes.contains(protocol::AnswerEnd) &&
            (rule == AnswerRule::E || receiveText.contains(protocol::Identify)))
            return Poller::End::Bytes;
    }
    return Poller::End::PollsSpent;
}

} // namespace Identification

SearchResult SearchDevice(SerialPort &port, const QList<int> &portNumbers, int baudRate,
                          const SearchVariant &variant, QByteArray &receiveText,
                          const LinkHooks &hooks,
                          const std::function<void(int, const QString &)> &announceFind)
{
    if (variant.logsProgress)
        hooks.listLine(QStringLiteral("Gerät suchen..."));

    SearchResult result;
    Poller poller(port, hooks);
    for (int i = 0; i < portNumbers.size(); ++i) {
        const int n = portNumbers[i];
        const QString notFound = QStringLiteral("Port %1 Gerät nicht gefunden").arg(n);
        receiveText.clear();
        // A port that another program took since the scan cannot answer: it counts as not found.
        if (!port.open(n, PortSettings::forBaud(baudRate))) {
            port.close();
            if (variant.logsProgress)
                hooks.listLine(notFound);
            continue;
        }
        Poller::End end = Poller::End::Lost;
        if (Identification::sendRequest(port, variant.requestWrites))
            end = Identification::readAnswer(poller, variant.readBudget, receiveText,
                                             Identification::AnswerRule::EAndD);
        if (end == Poller::End::Lost || end == Poller::End::Cancelled) {
            port.close();
            hooks.listLine(end == Poller::End::Lost ? LinkTexts::connectionLost()
                                                    : LinkTexts::cancelled());
            result.outcome =
                end == Poller::End::Lost ? SearchOutcome::PortLost : SearchOutcome::Cancelled;
            return result;
        }
        if (end == Poller::End::PollsSpent) {
            port.close();
            if (variant.logsProgress)
                hooks.listLine(notFound);
            continue;
        }

        const qsizetype d = receiveText.indexOf(protocol::Identify);
        result.outcome = SearchOutcome::Found;
        result.index = i;
        result.portNumber = n;
        result.version =
            QString::fromLatin1(receiveText.mid(d + variant.versionOffset, variant.versionLength));
        if (variant.logsProgress) {
            hooks.listLine(QStringLiteral("Port %1 Gerät gefunden!").arg(n));
            hooks.listLine(QStringLiteral("auf dem Gerät installierte Firmware Version: ") +
                           printable(result.version));
        }
        if (announceFind)
            announceFind(n, result.version);
        receiveText.clear();
        port.close();
        return result;
    }
    hooks.hint(portNumbers.isEmpty() ? LinkHints::noPort()
                                     : LinkHints::noAnswer(int(portNumbers.size())));
    return result;
}

} // namespace devicelink
