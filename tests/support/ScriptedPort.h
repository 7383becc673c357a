#pragma once

#include "devicelink/SerialPort.h"

#include <QList>
#include <QMap>
#include <QStringList>
#include <functional>
#include <mutex>

// A port without time: every poll is counted, answers arrive at chosen polls, and every byte
// written is recorded together with the poll count at which it was written. A window's job
// uses it on its own thread while the test reads it: every member locks.
class ScriptedPort : public devicelink::SerialPort
{
public:
    struct Write
    {
        QByteArray bytes;
        qint64 atPoll;
        int port;
    };

    // Runs after every write, under the port's lock; may schedule answers.
    std::function<void(ScriptedPort &port, const QByteArray &written)> onWrite;
    // Ports that fail to open for this reason; Missing ones stand for numbers without a device.
    // Every other port is the device "/dev/ttyFAKE<n>".
    QMap<int, OpenError> openErrors;
    // Every COM number but these is Missing.
    void openOnly(const QList<int> &comNumbers);

    // The bytes arrive together in one read, `polls` polls from now (at least the next poll).
    void answerAfter(qint64 polls, const QByteArray &bytes);
    // The port fails (adapter pulled) `polls` polls from now.
    void loseAfter(qint64 polls);

    bool open(int comNumber, const QString &settings) override;
    void close() override;
    bool isOpen() const override { return locked(m_open); }
    bool write(const QByteArray &bytes) override;
    devicelink::PollResult poll(qint64 maxPolls) override;
    QString errorString() const override { return QStringLiteral("scripted failure"); }
    OpenError openError() const override { return locked(m_openError); }
    QString deviceName() const override { return locked(m_device); }

    QByteArray written() const;
    QList<Write> writes() const { return locked(m_writes); }
    qint64 pollsDone() const { return locked(m_polls); }
    int currentPort() const { return locked(m_port); }
    QList<int> openedPorts() const { return locked(m_openedPorts); }
    QStringList openedSettings() const { return locked(m_openedSettings); }

    // A factory for a window: every port it makes is a view of this one, which the test keeps.
    devicelink::PortFactory factory();

private:
    // A copy of a member, taken under the lock.
    template <typename T> T locked(const T &member) const
    {
        const std::lock_guard lock(m_mutex);
        return member;
    }

    mutable std::recursive_mutex m_mutex;
    QMap<qint64, QByteArray> m_answers; // by the poll at which they arrive
    qint64 m_loseAt = -1;
    qint64 m_polls = 0;
    bool m_open = false;
    bool m_lost = false;
    int m_port = 0;
    OpenError m_openError = OpenError::None;
    QString m_device;
    QList<Write> m_writes;
    QList<int> m_openedPorts;
    QStringList m_openedSettings;
};

// The gauge's bootloader on a scripted port: echoes the entry character once it has seen
// `echoAfter` of them (0: never), sends the handshake NAK, and answers each complete frame with
// the next of `frameAnswers` (ACK once they run out; an empty one is no answer).
struct BootloaderScript
{
    int echoAfter = 1;
    QByteArray echoExtra;
    bool handshake = true;
    QList<QByteArray> frameAnswers;
    QList<QByteArray> frames; // every frame received, as it came
    int entries = 0;
    bool inBlocks = false;
    int frameBytes = 0;

    void onWrite(ScriptedPort &port, const QByteArray &bytes);
};
