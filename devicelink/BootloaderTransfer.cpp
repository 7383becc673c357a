#include "devicelink/BootloaderTransfer.h"

#include "devicelink/BlockFrame.h"
#include "devicelink/LinkHints.h"
#include "devicelink/LinkTexts.h"
#include "devicelink/Poller.h"
#include "devicelink/PortDevices.h"
#include "devicelink/PortHolder.h"
#include "devicelink/PortInfoSource.h"
#include "devicelink/PortSettings.h"
#include "protocol/ProtocolBytes.h"

#include <algorithm>
#include <initializer_list>

namespace devicelink {

namespace {

using namespace protocol;

constexpr int ResetPasses = 600;
constexpr qint64 PollsPerResetPass = 1000;
constexpr qint64 HandshakePolls = 1'000'000;
constexpr int NaksTolerated = 10;

// b / n × 100 to the nearest whole number, a half going to the even neighbour.
int percentOf(int b, int n)
{
    const qint64 scaled = qint64(b) * 100;
    qint64 whole = scaled / n;
    const qint64 twiceRest = 2 * (scaled % n);
    if (twiceRest > n || (twiceRest == n && whole % 2 != 0))
        ++whole;
    return int(whole);
}

// A number written with a leading sign position: a blank for positive numbers.
QString signedField(int value)
{
    return value < 0 ? QString::number(value) : QLatin1Char(' ') + QString::number(value);
}

class Transfer
{
public:
    Transfer(SerialPort &port, const FlashImage &image, const TransferVariant &variant,
             const LinkHooks &hooks)
        : m_port(port), m_image(image), m_variant(variant), m_hooks(hooks), m_poller(port, hooks)
    {}

    TransferOutcome run()
    {
        const int blocks = m_image.blockCount();
        if (blocks > FlashImage::MaxBlocks)
            return end(TransferOutcome::FileTooLarge, LinkTexts::imageTooLarge(blocks));
        if (!m_port.isOpen())
            return end(TransferOutcome::PortLost, LinkTexts::connectionLost());
        const Step reset = waitForReset();
        if (reset != Step::Done)
            return endAfter(reset);
        const Step handshake = waitForHandshake();
        if (handshake != Step::Done)
            return endAfter(handshake);
        m_hooks.Add_Item(QStringLiteral("Blöcke gesamt: ") + signedField(blocks));
        for (int b = 1; b <= blocks; ++b) {
            const Step sent = sendBlock(b, blocks);
            if (sent != Step::Done)
                return endAfter(sent);
        }
        m_hooks.Add_Item(QStringLiteral("sende 'End of transmitted'"));
        if (!m_port.write(QByteArray(1, Eot)))
            return end(TransferOutcome::PortLost, LinkTexts::connectionLost());
        m_hooks.Add_Item(QStringLiteral("Erfolgreich geflasht!"));
        m_port.close();
        return TransferOutcome::Ok;
    }

private:
    enum class Step
    {
        Done,
        TimedOut,
        NoReset,
        NoHandshake,
        Abandon,
        Lost,
        Cancelled
    };

    Step waitForReset()
    {
        m_hooks.Add_Item(QStringLiteral("auf Controllerreset warten..."));
        const char entry = m_variant.entryCharacter;
        char answer = 0;
        for (int pass = ResetPasses; pass >= 1; --pass) {
            if (!m_port.write(QByteArray(1, entry)))
                return Step::Lost;
            const Step step = awaitByte({entry}, PollsPerResetPass, answer);
            if (step != Step::TimedOut)
                return step;
        }
        return Step::NoReset;
    }

    Step waitForHandshake()
    {
        m_bootloaderWaiting = true;
        if (m_hooks.entryAnswer)
            m_hooks.entryAnswer();
        m_hooks.Add_Item(QStringLiteral("Controllerreset empfangen"));
        char answer = 0;
        const Step step = awaitByte({Nak}, HandshakePolls, answer);
        if (step != Step::Done)
            return step == Step::TimedOut ? Step::NoHandshake : step;
        m_hooks.Add_Item(QStringLiteral("Handshake abgeschlossen"));
        return Step::Done;
    }

    Step sendBlock(int b, int blocks)
    {
        const QByteArray frame = BuildBlockFrame(b, m_image.block(b));
        for (;;) {
            if (m_hooks.percent)
                m_hooks.percent(percentOf(b, blocks));
            m_hooks.Add_Item(QStringLiteral("sende Blocknummer: ") + signedField(b));
            // SOH, number, complement, the 128 data bytes and the checksum leave in this order in
            // one write: the same bytes on the wire, and one wake-up of the receiver, not five.
            if (!m_port.write(frame))
                return Step::Lost;

            char answer = 0;
            const Step step = awaitByte({Ack, Nak}, m_variant.answerLimit, answer);
            if (step == Step::TimedOut)
                return Step::Abandon;
            if (step != Step::Done)
                return step;
            if (answer == Ack) {
                m_hooks.Add_Item(QStringLiteral("ACK"));
                return Step::Done;
            }
            m_hooks.Add_Item(QStringLiteral("NAK"));
            if (m_nakCount == NaksTolerated)
                return Step::Abandon;
            ++m_nakCount; // and the same frame goes out again
        }
    }

    // Polls until one read returns exactly one of the single bytes in `expected`; every other
    // read, empty or not, is dropped.
    Step awaitByte(std::initializer_list<char> expected, qint64 polls, char &answer)
    {
        qint64 left = polls;
        while (left > 0) {
            const Poller::Read read = m_poller.next(left);
            left -= read.polls;
            if (read.end == Poller::End::Lost)
                return Step::Lost;
            if (read.end == Poller::End::Cancelled)
                return Step::Cancelled;
            if (read.bytes.size() == 1 &&
                std::find(expected.begin(), expected.end(), read.bytes[0]) != expected.end()) {
                answer = read.bytes[0];
                return Step::Done;
            }
        }
        return Step::TimedOut;
    }

    TransferOutcome endAfter(Step step)
    {
        switch (step) {
        case Step::NoReset:
            end(TransferOutcome::NoReset, QStringLiteral("Reset nicht erkannt!"));
            m_hooks.hint(LinkHints::noReset());
            return TransferOutcome::NoReset;
        case Step::NoHandshake:
            // The log ends at "Controllerreset empfangen"; only the hint says why.
            end(TransferOutcome::NoHandshake, QString());
            m_hooks.hint(LinkHints::noHandshake());
            return TransferOutcome::NoHandshake;
        case Step::Abandon:
            m_port.write(QByteArray(1, Can));
            return end(TransferOutcome::Abandoned, QStringLiteral("Retry error!"));
        case Step::Lost:
            return end(TransferOutcome::PortLost, LinkTexts::connectionLost());
        case Step::Cancelled:
            // From its echo on, the bootloader waits for a block: tell it the image is abandoned,
            // or it waits until the gauge is switched off.
            if (m_bootloaderWaiting)
                m_port.write(QByteArray(1, Can));
            return end(TransferOutcome::Cancelled, LinkTexts::cancelled());
        case Step::Done:
        case Step::TimedOut:
            break;
        }
        return end(TransferOutcome::Abandoned, QString());
    }

    TransferOutcome end(TransferOutcome outcome, const QString &line)
    {
        if (!line.isEmpty())
            m_hooks.Add_Item(line);
        m_port.close();
        return outcome;
    }

    SerialPort &m_port;
    const FlashImage &m_image;
    const TransferVariant m_variant;
    const LinkHooks &m_hooks;
    Poller m_poller;
    int m_nakCount = 0;
    bool m_bootloaderWaiting = false; // it answered the entry character
};

} // namespace

bool OpenPortForTransfer(SerialPort &port, int comNumber, int baudRate, const LinkHooks &hooks)
{
    hooks.Add_Item(QStringLiteral("öffne COM-Port"));
    if (port.open(comNumber, PortSettings::forBaud(baudRate)))
        return true;
    ReportOpenFailure(port, hooks);
    return false;
}

void ReportOpenFailure(SerialPort &port, const LinkHooks &hooks)
{
    hooks.Add_Item(LinkTexts::openFailed());
    const QString device = port.deviceName();
    // Looked up now, while the other program still holds the port.
    const std::optional<PortHolder> holder =
        port.openError() == SerialPort::OpenError::Busy ? FindPortHolder(device) : std::nullopt;
    if (!device.isEmpty())
        hooks.Add_Item(
            LinkTexts::openFailureDetail(device, port.openError(), port.errorString(), holder));
    if (port.openError() == SerialPort::OpenError::PermissionDenied)
        hooks.Add_Item(LinkTexts::dialoutHint(devicelink::deviceGroup(device)));
    port.close();
    if (holder && !holder->certain)
        hooks.hint(ModemManagerHint(SystemPortInfo().describe(device).vidPid()));
}

TransferOutcome UploadImage(SerialPort &port, const FlashImage &image,
                            const TransferVariant &variant, const LinkHooks &hooks)
{
    return Transfer(port, image, variant, hooks).run();
}

} // namespace devicelink
