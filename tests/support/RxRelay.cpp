#include "RxRelay.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

RxRelay::~RxRelay()
{
    stop();
}

bool RxRelay::start(const QString &portDir, int comNumber, const QString &workDir,
                    const QString &fileName, bool entryExchange)
{
    m_workDir = workDir;
    m_fileName = fileName;
    m_entryExchange = entryExchange;
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
        return false;
    m_devicePath = QString::fromLocal8Bit(ptsname(m_master));
    // Keep the slave open and raw, so the PC's open and close never hang the line up.
    m_slave = ::open(ptsname(m_master), O_RDWR | O_NOCTTY);
    termios raw{};
    tcgetattr(m_slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(m_slave, TCSANOW, &raw);

    QDir().mkpath(portDir);
    m_linkPath = QDir(portDir).filePath(QStringLiteral("COM%1").arg(comNumber));
    QFile::remove(m_linkPath);
    if (!QFile::link(m_devicePath, m_linkPath))
        return false;
    if (pipe(m_wake) != 0)
        return false;
    if (!m_entryExchange && !startRx())
        return false;
    m_thread = std::thread([this] { run(); });
    return true;
}

bool RxRelay::startRx()
{
    int toRx[2];
    int fromRx[2];
    if (pipe(toRx) != 0 || pipe(fromRx) != 0)
        return false;
    const QByteArray dir = QFile::encodeName(m_workDir);
    const QByteArray name = QFile::encodeName(m_fileName);
    const pid_t child = fork();
    if (child == 0) {
        dup2(toRx[0], STDIN_FILENO);
        dup2(fromRx[1], STDOUT_FILENO);
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        if (chdir(dir.constData()) == 0)
            execlp("rx", "rx", "-b", "-q", "-y", name.constData(), static_cast<char *>(nullptr));
        _exit(127);
    }
    ::close(toRx[0]);
    ::close(fromRx[1]);
    m_toRx = toRx[1];
    m_fromRx = fromRx[0];
    m_rx = child;
    return child > 0;
}

void RxRelay::run()
{
    char buffer[4096];
    bool echoed = !m_entryExchange;
    while (!m_stop) {
        pollfd fds[3] = {{m_master, POLLIN, 0}, {m_wake[0], POLLIN, 0}, {m_fromRx, POLLIN, 0}};
        const nfds_t count = m_fromRx >= 0 ? 3 : 2;
        if (poll(fds, count, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents)
            break;
        if (fds[0].revents & POLLIN) {
            const ssize_t n = read(m_master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            if (!echoed) {
                const char entry = buffer[n - 1];
                if (entry == 0x7B || entry == 0x7C) {
                    writeAll(m_master, &entry, 1);
                    // rx sends its NAK at once; give the PC time to read the echo on its own,
                    // as the gauge's bootloader does.
                    usleep(20'000);
                    echoed = startRx();
                }
            } else if (m_toRx >= 0) {
                m_lastForwarded = std::chrono::steady_clock::now();
                if (m_firstForwarded == std::chrono::steady_clock::time_point())
                    m_firstForwarded = m_lastForwarded;
                writeAll(m_toRx, buffer, size_t(n));
            }
        }
        if (count == 3 && fds[2].revents) {
            const ssize_t n = read(m_fromRx, buffer, sizeof buffer);
            if (n <= 0) {
                ::close(m_fromRx);
                m_fromRx = -1;
                continue;
            }
            writeAll(m_master, buffer, size_t(n));
        }
    }
}

// The timestamps are read only after waitForRx() has seen rx end, which follows the last byte.
int RxRelay::waitForRx(int timeoutMs)
{
    for (int waited = 0; waited <= timeoutMs; waited += 10) {
        const pid_t rx = m_rx;
        int status = 0;
        if (rx > 0 && waitpid(rx, &status, WNOHANG) == rx) {
            m_rx = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        usleep(10'000);
    }
    return -1;
}

void RxRelay::writeAll(int fd, const char *bytes, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        bytes += n;
        size -= size_t(n);
    }
}

void RxRelay::stop()
{
    if (m_thread.joinable()) {
        m_stop = true;
        const char wake = 1;
        writeAll(m_wake[1], &wake, 1);
        m_thread.join();
    }
    if (m_rx > 0) {
        kill(m_rx, SIGTERM);
        waitpid(m_rx, nullptr, 0);
        m_rx = -1;
    }
    for (int *fd : {&m_master, &m_slave, &m_toRx, &m_fromRx, &m_wake[0], &m_wake[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    if (!m_linkPath.isEmpty())
        QFile::remove(m_linkPath);
}
