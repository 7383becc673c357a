#include "ScriptedPort.h"

#include "devicelink/ForwardingPort.h"
#include "protocol/ProtocolBytes.h"

using namespace devicelink;

namespace {

// What a window's factory hands out: the test's port, which outlives every job.
class PortView : public ForwardingPort
{
public:
    explicit PortView(ScriptedPort &port) : ForwardingPort(port) {}
    ~PortView() override { m_port.close(); }
};

} // namespace

PortFactory ScriptedPort::factory()
{
    return [this] { return std::make_unique<PortView>(*this); };
}

void ScriptedPort::answerAfter(qint64 polls, const QByteArray &bytes)
{
    const std::lock_guard lock(m_mutex);
    m_answers[m_polls + qMax<qint64>(1, polls)].append(bytes);
}

void ScriptedPort::openOnly(const QList<int> &comNumbers)
{
    const std::lock_guard lock(m_mutex);
    for (int n = 1; n <= 99; ++n) {
        if (!comNumbers.contains(n))
            openErrors.insert(n, OpenError::Missing);
    }
}

void ScriptedPort::loseAfter(qint64 polls)
{
    const std::lock_guard lock(m_mutex);
    m_loseAt = m_polls + qMax<qint64>(1, polls);
}

bool ScriptedPort::open(int comNumber, const QString &settings)
{
    const std::lock_guard lock(m_mutex);
    m_openedPorts.append(comNumber);
    m_openedSettings.append(settings);
    m_openError = openErrors.value(comNumber, OpenError::None);
    m_device = m_openError == OpenError::Missing ? QString()
                                                 : QStringLiteral("/dev/ttyFAKE%1").arg(comNumber);
    if (m_openError != OpenError::None)
        return false;
    m_open = true;
    m_lost = false;
    m_port = comNumber;
    m_answers.clear();
    return true;
}

void ScriptedPort::close()
{
    const std::lock_guard lock(m_mutex);
    m_open = false;
}

bool ScriptedPort::write(const QByteArray &bytes)
{
    const std::lock_guard lock(m_mutex);
    if (!m_open || m_lost)
        return false;
    m_writes.append({bytes, m_polls, m_port});
    if (onWrite)
        onWrite(*this, bytes);
    return true;
}

PollResult ScriptedPort::poll(qint64 maxPolls)
{
    const std::lock_guard lock(m_mutex);
    PollResult result;
    if (!m_open || m_lost) {
        result.lost = true;
        result.polls = 1;
        return result;
    }
    const qint64 end = m_polls + maxPolls;
    if (m_loseAt > m_polls && m_loseAt <= end &&
        (m_answers.isEmpty() || m_answers.firstKey() >= m_loseAt)) {
        result.polls = m_loseAt - m_polls;
        m_polls = m_loseAt;
        m_lost = true;
        result.lost = true;
        return result;
    }
    if (m_answers.isEmpty() || m_answers.firstKey() > end) {
        result.polls = maxPolls;
        m_polls = end;
        return result;
    }
    const qint64 at = qMax(m_answers.firstKey(), m_polls + 1);
    result.polls = at - m_polls;
    m_polls = at;
    while (!m_answers.isEmpty() && m_answers.firstKey() <= at)
        result.bytes.append(m_answers.take(m_answers.firstKey()));
    return result;
}

QByteArray ScriptedPort::written() const
{
    const std::lock_guard lock(m_mutex);
    QByteArray all;
    for (const Write &w : m_writes)
        all.append(w.bytes);
    return all;
}

void BootloaderScript::onWrite(ScriptedPort &port, const QByteArray &bytes)
{
    if (!inBlocks) {
        if (++entries == echoAfter) {
            port.answerAfter(5, bytes + echoExtra);
            if (handshake)
                port.answerAfter(20, QByteArray(1, protocol::Nak));
            inBlocks = true;
        }
        return;
    }
    if (frameBytes == 0) {
        if (!bytes.startsWith(protocol::Soh))
            return; // EOT or CAN, not a frame
        frames.append(QByteArray());
    }
    frames.last().append(bytes);
    frameBytes += int(bytes.size());
    if (frameBytes < protocol::FrameSize)
        return;
    frameBytes = 0;
    const QByteArray answer =
        frameAnswers.isEmpty() ? QByteArray(1, protocol::Ack) : frameAnswers.takeFirst();
    if (!answer.isEmpty())
        port.answerAfter(7, answer);
}
