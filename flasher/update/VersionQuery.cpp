#include "flasher/update/VersionQuery.h"

#include "devicelink/BootloaderTransfer.h"
#include "devicelink/Identification.h"
#include "devicelink/LinkTexts.h"
#include "devicelink/PortSettings.h"
#include "devicelink/Printable.h"

namespace flasher {

using namespace devicelink;

namespace {

constexpr qint64 AnswerBudget = 100'000;

InstalledVersion fail(VersionQueryOutcome outcome, SerialPort &port, const LinkHooks &hooks,
                      const QString &line, bool scrolled = true)
{
    if (scrolled)
        hooks.Add_Item(line);
    else
        hooks.listLine(line);
    port.close();
    return {outcome, QString()};
}

} // namespace

InstalledVersion QueryInstalledVersion(SerialPort &port, int comNumber, int baudRate,
                                       QByteArray &receiveText, const LinkHooks &hooks)
{
    hooks.listLine(QStringLiteral("Geräteinformation werden abrufen..."));

    receiveText.clear();
    if (comNumber < 1)
        return fail(VersionQueryOutcome::NoPort, port, hooks, LinkTexts::noPortChosen());
    if (!port.open(comNumber, PortSettings::forBaud(baudRate))) {
        ReportOpenFailure(port, hooks);
        return {VersionQueryOutcome::PortOpenFailed, QString()};
    }

    hooks.Add_Item(QStringLiteral("auf Controllerreset warten..."));
    Poller::End end = Poller::End::Lost;
    if (Identification::sendRequest(port, 1)) {
        Poller poller(port, hooks);
        end = Identification::readAnswer(poller, AnswerBudget, receiveText,
                                         Identification::AnswerRule::E);
    }
    switch (end) {
    case Poller::End::Bytes:
        break;
    case Poller::End::PollsSpent:
        return fail(VersionQueryOutcome::NoAnswer, port, hooks,
                    QStringLiteral("Gerät nicht gefunden oder Firmware kleiner als V2.16"));
    case Poller::End::Lost:
        return fail(VersionQueryOutcome::PortLost, port, hooks, LinkTexts::connectionLost());
    case Poller::End::Cancelled:
        return fail(VersionQueryOutcome::Cancelled, port, hooks, LinkTexts::cancelled());
    }

    // Every "d" gives a line; the last one found counts.
    QString version;
    const qsizetype length = receiveText.size();
    for (qsizetype i = 0; i < length; ++i) {
        if (receiveText.at(i) != 'd')
            continue;
        version = QString::fromLatin1(receiveText.mid(i + 1, 5));
        hooks.Add_Item(QStringLiteral("auf dem Gerät installierte Firmware Version: ") +
                       printable(version));
    }
    if (version.isEmpty())
        return fail(VersionQueryOutcome::NoVersion, port, hooks,
                    QStringLiteral("Keine Firmwareversion in der Antwort des Geräts"), false);
    return {VersionQueryOutcome::Found, version};
}

} // namespace flasher
