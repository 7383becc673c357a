#include "flasher/update/VersionQuery.h"

#include "devicelink/BootloaderTransfer.h"
#include "devicelink/Identification.h"
#include "devicelink/LinkTexts.h"
#include "devicelink/PortSettings.h"

namespace flasher {

using namespace devicelink;

namespace {

constexpr qint64 AnswerBudget = 100'000;

std::optional<QString> fail(SerialPort &port, const LinkHooks &hooks, const QString &line,
                            bool scrolled = true)
{
    if (scrolled)
        hooks.Add_Item(line);
    else
        hooks.listLine(line);
    port.close();
    return std::nullopt;
}

} // namespace

std::optional<QString> QueryInstalledVersion(SerialPort &port, int comNumber, int baudRate,
                                             QByteArray &Text1, const LinkHooks &hooks)
{
    hooks.pumpEvents();
    hooks.listLine(QStringLiteral("Geräteinformation werden abrufen..."));

    Text1.clear();
    if (comNumber < 1)
        return fail(port, hooks, LinkTexts::noPortChosen());
    if (!port.open(comNumber, PortSettings::forBaud(baudRate))) {
        ReportOpenFailure(port, hooks);
        return std::nullopt;
    }

    hooks.Add_Item(QStringLiteral("auf Controllerreset warten..."));
    Poller::End end = Poller::End::Lost;
    if (Identification::sendRequest(port, 1)) {
        Poller poller(port, hooks);
        end =
            Identification::readAnswer(poller, AnswerBudget, Text1, Identification::AnswerRule::E);
    }
    switch (end) {
    case Poller::End::Bytes:
        break;
    case Poller::End::PollsSpent:
        return fail(port, hooks,
                    QStringLiteral("Gerät nicht gefunden oder Firmware kleiner als V2.16"));
    case Poller::End::Lost:
        return fail(port, hooks, LinkTexts::connectionLost());
    case Poller::End::Cancelled:
        return fail(port, hooks, LinkTexts::cancelled());
    }

    // Every "d" gives a line; the last one found counts.
    QString version;
    const qsizetype length = Text1.size();
    for (qsizetype i = 0; i < length; ++i) {
        if (Text1.at(i) != 'd')
            continue;
        version = QString::fromLatin1(Text1.mid(i + 1, 5));
        hooks.Add_Item(QStringLiteral("auf dem Gerät installierte Firmware Version: ") + version);
    }
    if (version.isEmpty())
        return fail(port, hooks, QStringLiteral("Keine Firmwareversion in der Antwort des Geräts"),
                    false);
    return version;
}

} // namespace flasher
