#include "sim/GaugeSimulator.h"

#include "protocol/ProtocolBytes.h"

#include <QDir>
#include <QRandomGenerator>
#include <QSaveFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace sim {

using namespace std::chrono_literals;

namespace {

using namespace protocol;
// A frame that stalls this long inside is given up, as a real bootloader's byte timeout does.
constexpr auto FrameGap = 1s;
constexpr auto SplitPause = 2ms;
constexpr auto GarbageLead = 3ms;

bool isEntry(char c)
{
    return c == EntryFirmware || c == EntryEeprom;
}

// Every running simulator holds a lock on its own pty. A link whose pty still carries one (or is
// held exclusively by a program talking to it) belongs to a live simulator; a stale link's pty
// is gone or free.
bool heldByLiveSimulator(const QByteArray &link)
{
    const int fd = open(link.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == EBUSY;
    const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd);
    return held;
}

// Why the simulator must not take `link` over. Checked before our own pty exists, so a link
// that an unclean exit left behind counts as stale even when its pty number comes back to us.
// A link to anything but a pty is the user's (a real gauge's adapter): it is never opened,
// let alone replaced.
QString takeOverProblem(const QString &link)
{
    const QByteArray name = QFile::encodeName(link);
    struct stat st = {};
    if (lstat(name.constData(), &st) != 0)
        return QString();
    if (!S_ISLNK(st.st_mode))
        return QStringLiteral("%1 existiert und ist kein Link").arg(link);
    const QString target = QFile::symLinkTarget(link);
    if (stat(name.constData(), &st) == 0 && !target.startsWith(QLatin1String("/dev/pts/")))
        return QStringLiteral("%1 führt zu %2, nicht zu einem Simulator").arg(link, target);
    if (heldByLiveSimulator(name))
        return QStringLiteral("%1 gehört einem laufenden Simulator").arg(link);
    return QString();
}

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(strerror(errno)));
}

// Line noise that can never be taken for a protocol answer.
QByteArray noise()
{
    static const QByteArray forbidden("de\x06\x15\x7B\x7C", 6);
    auto *rng = QRandomGenerator::global();
    QByteArray bytes;
    const int length = 3 + rng->bounded(6);
    while (bytes.size() < length) {
        const char c = char(rng->bounded(256));
        if (!forbidden.contains(c))
            bytes.append(c);
    }
    return bytes;
}

} // namespace

GaugeSimulator::GaugeSimulator(GaugeOptions options) : m_options(std::move(options)) {}

GaugeSimulator::~GaugeSimulator()
{
    stop();
}

bool GaugeSimulator::start(const QString &portDir, int comNumber, QString *error)
{
    auto fail = [&](const QString &message) {
        closeFds();
        if (error)
            *error = message;
        return false;
    };
    if (m_thread.joinable())
        return fail(QStringLiteral("Simulator läuft bereits"));
    if (comNumber < 1 || comNumber > 99)
        return fail(QStringLiteral("COM-Nummer %1 außerhalb von 1..99").arg(comNumber));
    if (portDir.isEmpty() || !QDir().mkpath(portDir))
        return fail(QStringLiteral("Portordner nicht anlegbar: %1").arg(portDir));

    const QString link = QDir(portDir).filePath(QStringLiteral("COM%1").arg(comNumber));
    if (const QString problem = takeOverProblem(link); !problem.isEmpty())
        return fail(problem);

    m_masterFd = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_masterFd < 0)
        return fail(systemError("posix_openpt"));
    if (grantpt(m_masterFd) != 0 || unlockpt(m_masterFd) != 0)
        return fail(systemError("grantpt/unlockpt"));
    fcntl(m_masterFd, F_SETFD, FD_CLOEXEC);
    fcntl(m_masterFd, F_SETFL, fcntl(m_masterFd, F_GETFL) | O_NONBLOCK);
    const char *slaveName = ptsname(m_masterFd);
    if (!slaveName)
        return fail(systemError("ptsname"));
    m_devicePath = QString::fromLocal8Bit(slaveName);

    // Our own slave fd stays open for the simulator's whole life: without it the master reads
    // EIO whenever the PC has the port closed, e.g. between two operations.
    m_slaveFd = open(slaveName, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slaveFd < 0)
        return fail(systemError("open slave"));
    if (flock(m_slaveFd, LOCK_EX | LOCK_NB) != 0)
        return fail(systemError("flock"));
    termios tio{};
    if (tcgetattr(m_slaveFd, &tio) != 0)
        return fail(systemError("tcgetattr"));
    cfmakeraw(&tio);
    if (tcsetattr(m_slaveFd, TCSANOW, &tio) != 0)
        return fail(systemError("tcsetattr"));

    int wake[2];
    if (pipe(wake) != 0)
        return fail(systemError("pipe"));
    m_wakeRead = wake[0];
    m_wakeWrite = wake[1];
    for (int fd : wake) {
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    }

    // Publish through a temporary name and rename(), so a stale link is replaced atomically.
    const QByteArray linkName = QFile::encodeName(link);
    const QByteArray tmpName = linkName + ".new" + QByteArray::number(getpid());
    unlink(tmpName.constData());
    if (symlink(slaveName, tmpName.constData()) != 0)
        return fail(systemError("symlink"));
    if (rename(tmpName.constData(), linkName.constData()) != 0) {
        const QString message = systemError("rename");
        unlink(tmpName.constData());
        return fail(message);
    }
    m_linkPath = link;
    m_linkPublished = true;

    m_mode = Mode::Application;
    m_resetAt.reset();
    m_frame.clear();
    m_image.clear();
    m_incoming.clear();
    m_outgoing.clear();
    m_txBlocked = false;
    m_rxLineFree = m_txLineFree = m_txLastDue = Clock::time_point{};
    {
        std::lock_guard lock(m_mutex);
        m_stopRequested = false;
        m_imagesStored = 0;
        m_entryChars = 0;
        m_lastFirmware.clear();
        m_lastEeprom.clear();
    }
    m_thread = std::thread([this] { run(); });
    return true;
}

void GaugeSimulator::stop()
{
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_stopRequested = true;
        }
        const char wake = 1;
        [[maybe_unused]] auto written = write(m_wakeWrite, &wake, 1);
        m_thread.join();
    }
    removeLink();
    closeFds();
}

QString GaugeSimulator::devicePath() const
{
    return m_devicePath;
}

QString GaugeSimulator::linkPath() const
{
    return m_linkPath;
}

int GaugeSimulator::imagesStored() const
{
    std::lock_guard lock(m_mutex);
    return m_imagesStored;
}

QByteArray GaugeSimulator::lastFirmwareImage() const
{
    std::lock_guard lock(m_mutex);
    return m_lastFirmware;
}

QByteArray GaugeSimulator::lastEepromImage() const
{
    std::lock_guard lock(m_mutex);
    return m_lastEeprom;
}

int GaugeSimulator::entryCharsReceived() const
{
    std::lock_guard lock(m_mutex);
    return m_entryChars;
}

bool GaugeSimulator::waitForImages(int count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_imageStored.wait_for(lock, timeout, [&] { return m_imagesStored >= count; });
}

void GaugeSimulator::run()
{
#ifdef __linux__
    // Paced bytes are due at exact instants; the default 50 us of timer slack would show up
    // in every block of a long transfer.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    for (;;) {
        const auto now = Clock::now();
        processDue(now);
        flushOutgoing(now);

        pollfd fds[2] = {{m_wakeRead, POLLIN, 0}, {m_masterFd, POLLIN, 0}};
        const nfds_t count = m_masterFd >= 0 ? 2 : 1;
        if (m_txBlocked)
            fds[1].events |= POLLOUT;
        timespec timeout{};
        timespec *timeoutPtr = nullptr;
        if (const auto deadline = nextDeadline()) {
            const auto wait = std::max<Clock::duration>(*deadline - Clock::now(), 0ns);
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
            timeout.tv_sec = ns / 1'000'000'000;
            timeout.tv_nsec = ns % 1'000'000'000;
            timeoutPtr = &timeout;
        }
        if (ppoll(fds, count, timeoutPtr, nullptr) < 0 && errno != EINTR)
            break;

        if (fds[0].revents & POLLIN) {
            char drain[16];
            while (read(m_wakeRead, drain, sizeof drain) > 0) {
            }
            std::lock_guard lock(m_mutex);
            if (m_stopRequested)
                return;
        }
        if (count == 2 && (fds[1].revents & POLLOUT))
            m_txBlocked = false;
        if (count == 2 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)))
            readLine(Clock::now());
    }
}

void GaugeSimulator::readLine(Clock::time_point now)
{
    char buffer[4096];
    const ssize_t n = read(m_masterFd, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n <= 0) {
        // Cannot happen while our own slave fd is open; if it does, stop serving rather
        // than wake up for the same error forever.
        log(QStringLiteral("Lesefehler am Pseudo-Terminal, Leitung getrennt"));
        disconnectLine();
        return;
    }
    for (ssize_t i = 0; i < n; ++i) {
        Clock::time_point due = now;
        if (m_options.baud > 0) {
            // A byte is only there once its ten bits have crossed the line.
            due = std::max(now, m_rxLineFree) + lineTime(1);
            m_rxLineFree = due;
        }
        m_incoming.push_back({buffer[i], due});
    }
}

void GaugeSimulator::processDue(Clock::time_point now)
{
    while (!m_incoming.empty() && m_incoming.front().due <= now && m_mode != Mode::Disconnected) {
        const Incoming in = m_incoming.front();
        m_incoming.pop_front();
        if (m_resetAt && *m_resetAt <= in.due)
            applyReset();
        if (!m_frame.isEmpty() && in.due - m_frameLastByte > FrameGap)
            dropPartialFrame(m_frameLastByte + FrameGap);
        handleByte(in.byte, in.due);
    }
    if (m_resetAt && *m_resetAt <= now)
        applyReset();
    if (!m_frame.isEmpty() && now - m_frameLastByte > FrameGap)
        dropPartialFrame(m_frameLastByte + FrameGap);
}

void GaugeSimulator::applyReset()
{
    m_resetAt.reset();
    m_mode = Mode::WaitingForEntry;
}

void GaugeSimulator::handleByte(char byte, Clock::time_point at)
{
    switch (m_mode) {
    case Mode::Application:
        if (byte == Identify) {
            answer(QByteArray(1, Identify) + m_options.version.toLatin1() + AnswerEnd, at);
        } else if (isEntry(byte)) {
            {
                std::lock_guard lock(m_mutex);
                ++m_entryChars;
            }
            // The first entry character starts the controller reset; the application
            // ignores it and every one that follows until the bootloader runs.
            if (!m_options.noReset && !m_resetAt)
                m_resetAt = at + m_options.resetDelay;
        }
        break;
    case Mode::WaitingForEntry:
        if (!isEntry(byte))
            break;
        {
            std::lock_guard lock(m_mutex);
            ++m_entryChars;
        }
        m_entry = byte;
        m_mode = Mode::Blocks;
        m_expectedBlock = 1;
        m_image.clear();
        m_frame.clear();
        m_nakPending.clear();
        for (int block : m_options.nakBlocks)
            ++m_nakPending[block];
        answer(QByteArray(1, byte), at);
        if (!m_options.noHandshake)
            answer(QByteArray(1, Nak), at + m_options.handshakeDelay);
        break;
    case Mode::Blocks:
        if (!m_frame.isEmpty()) {
            m_frame.append(byte);
            m_frameLastByte = at;
            if (m_frame.size() == protocol::FrameSize)
                handleFrame(at);
        } else if (byte == Soh) {
            m_frame.append(byte);
            m_frameLastByte = at;
        } else if (byte == Eot) {
            storeImage();
            m_mode = Mode::Application;
        } else if (byte == Can) {
            log(QStringLiteral("Übertragung abgebrochen (CAN), nichts gespeichert"));
            m_image.clear();
            m_mode = Mode::Application;
        } else if (isEntry(byte)) {
            // Late repeats of the entry character from the PC's reset wait.
            std::lock_guard lock(m_mutex);
            ++m_entryChars;
        }
        break;
    case Mode::Disconnected:
        break;
    }
}

void GaugeSimulator::handleFrame(Clock::time_point at)
{
    const auto *f = reinterpret_cast<const quint8 *>(m_frame.constData());
    const int number = f[1];
    quint8 sum = 0;
    for (int i = 3; i < 3 + protocol::BlockSize; ++i)
        sum += f[i];
    const bool good = f[2] == 255 - number && sum == f[131];
    const QByteArray data = m_frame.mid(3, protocol::BlockSize);
    m_frame.clear();

    if (good && number == (m_expectedBlock & 0xFF)) {
        if (m_expectedBlock == m_options.disconnectAfter) {
            disconnectLine();
            return;
        }
        auto pending = m_nakPending.find(m_expectedBlock);
        if (pending != m_nakPending.end() && pending->second > 0) {
            --pending->second;
            answer(QByteArray(1, Nak), at);
            return;
        }
        m_image.append(data);
        ++m_expectedBlock;
        answer(QByteArray(1, Ack), at);
    } else if (good && m_expectedBlock > 1 && number == ((m_expectedBlock - 1) & 0xFF)) {
        // The PC missed our ACK and sent the block again: confirm it, keep it only once.
        answer(QByteArray(1, Ack), at);
    } else {
        answer(QByteArray(1, Nak), at);
    }
}

void GaugeSimulator::dropPartialFrame(Clock::time_point at)
{
    m_frame.clear();
    answer(QByteArray(1, Nak), at);
}

void GaugeSimulator::storeImage()
{
    const bool firmware = m_entry == EntryFirmware;
    const QString path = firmware ? m_options.firmwarePath : m_options.eepromPath;
    const QString kind = firmware ? QStringLiteral("Firmware") : QStringLiteral("EEPROM");
    const qsizetype count = m_image.size() / protocol::BlockSize;
    const QString blocks =
        count == 1 ? QStringLiteral("1 Block") : QStringLiteral("%1 Blöcke").arg(count);
    if (!path.isEmpty()) {
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly) && file.write(m_image) == m_image.size() &&
            file.commit()) {
            log(QStringLiteral("%1 empfangen: %2 -> %3").arg(kind, blocks, path));
        } else {
            log(QStringLiteral("%1 empfangen: %2, Speichern nach %3 fehlgeschlagen: %4")
                    .arg(kind, blocks, path, file.errorString()));
        }
    } else {
        log(QStringLiteral("%1 empfangen: %2").arg(kind, blocks));
    }
    std::lock_guard lock(m_mutex);
    (firmware ? m_lastFirmware : m_lastEeprom) = m_image;
    ++m_imagesStored;
    m_imageStored.notify_all();
}

void GaugeSimulator::disconnectLine()
{
    // Like a pulled adapter: the device is gone, the PC's next read fails.
    if (m_mode != Mode::Disconnected)
        log(QStringLiteral("Leitung getrennt nach Block %1").arg(m_expectedBlock));
    m_mode = Mode::Disconnected;
    m_incoming.clear();
    m_outgoing.clear();
    m_frame.clear();
    m_txBlocked = false;
    removeLink();
    if (m_masterFd >= 0)
        close(m_masterFd);
    m_masterFd = -1;
    if (m_slaveFd >= 0)
        close(m_slaveFd);
    m_slaveFd = -1;
}

void GaugeSimulator::answer(const QByteArray &bytes, Clock::time_point at)
{
    if (m_options.silent || m_masterFd < 0)
        return;
    auto due = std::max(at, m_txLastDue);
    if (m_options.garbage) {
        enqueue(noise(), due);
        due += GarbageLead;
    }
    if (m_options.split) {
        for (char c : bytes) {
            enqueue(QByteArray(1, c), due);
            due += SplitPause;
        }
    } else {
        enqueue(bytes, due);
    }
}

void GaugeSimulator::enqueue(const QByteArray &bytes, Clock::time_point due)
{
    if (m_options.baud > 0) {
        // Scheduled on the absolute clock, so the line time of a long transfer adds up exactly.
        due = std::max(due, m_txLineFree) + lineTime(bytes.size());
        m_txLineFree = due;
    }
    due = std::max(due, m_txLastDue);
    m_txLastDue = due;
    m_outgoing.push_back({bytes, due});
}

GaugeSimulator::Clock::duration GaugeSimulator::lineTime(qsizetype bytes) const
{
    // Start bit, eight data bits, stop bit.
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::nanoseconds(bytes * 10 * 1'000'000'000LL / m_options.baud));
}

void GaugeSimulator::flushOutgoing(Clock::time_point now)
{
    while (!m_txBlocked && m_masterFd >= 0 && !m_outgoing.empty() &&
           m_outgoing.front().due <= now) {
        Outgoing &out = m_outgoing.front();
        const ssize_t n = write(m_masterFd, out.bytes.constData(), size_t(out.bytes.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            m_txBlocked = true; // the PC does not read; wait until it does
            return;
        }
        if (n < 0) {
            disconnectLine();
            return;
        }
        if (n < out.bytes.size()) {
            out.bytes.remove(0, n);
            m_txBlocked = true;
            return;
        }
        m_outgoing.pop_front();
    }
}

std::optional<GaugeSimulator::Clock::time_point> GaugeSimulator::nextDeadline() const
{
    std::optional<Clock::time_point> next;
    auto consider = [&](Clock::time_point t) {
        if (!next || t < *next)
            next = t;
    };
    if (m_mode == Mode::Disconnected)
        return next;
    if (!m_incoming.empty())
        consider(m_incoming.front().due);
    if (!m_outgoing.empty() && !m_txBlocked)
        consider(m_outgoing.front().due);
    if (m_resetAt)
        consider(*m_resetAt);
    if (!m_frame.isEmpty())
        consider(m_frameLastByte + FrameGap + 1ms);
    return next;
}

void GaugeSimulator::closeFds()
{
    for (int *fd : {&m_masterFd, &m_slaveFd, &m_wakeRead, &m_wakeWrite}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
}

void GaugeSimulator::removeLink()
{
    if (!m_linkPublished)
        return;
    m_linkPublished = false;
    // Only our own link: another simulator may have taken the name over since.
    const QByteArray link = QFile::encodeName(m_linkPath);
    char target[4096];
    const ssize_t n = readlink(link.constData(), target, sizeof target);
    if (n > 0 && QByteArray(target, n) == QFile::encodeName(m_devicePath))
        unlink(link.constData());
}

void GaugeSimulator::log(const QString &line) const
{
    if (m_options.log)
        m_options.log(line);
}

} // namespace sim
