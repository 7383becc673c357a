// Measures the device link where its speed and its thrift matter:
//  1. the CPU share of one core while the transfer waits for a controller reset that never
//     comes, and the wall time of that wait (600 x 1,000 polls) and of a 10,000-poll wait,
//     each against count x poll interval;
//  2. a 512-block transfer through a pty into lrzsz's rx, time per block, next to lrzsz's sx
//     sending the same file to the same receiver;
//  3. a 64-block transfer into the simulator pacing its line at 19200 baud, against the time
//     the bytes need on the wire.
#include "BootloaderTransfer.h"
#include "ComPort.h"
#include "GaugeSimulator.h"
#include "PollTiming.h"
#include "Poller.h"
#include "RxRelay.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double threadCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QByteArray testFile(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 167 + 13) % 251);
    return bytes;
}

void row(const char *what, const QString &value)
{
    std::printf("  %-52s %s\n", what, qPrintable(value));
}

QString percentOff(double measured, double expected)
{
    return QStringLiteral("%1 %").arg((measured - expected) / expected * 100.0, 0, 'f', 2);
}

// The reset wait against a simulator that never resets, and a bare 10,000-poll wait.
void measureWaits(const QString &portDir)
{
    std::printf("Counted waits (poll interval T = %lld us)\n",
                static_cast<long long>(PollTiming::intervalUs()));
    GaugeOptions options;
    options.noReset = true;
    GaugeSimulator gauge(options);
    if (!gauge.start(portDir, 1)) {
        std::printf("  simulator did not start\n");
        return;
    }
    LinkHooks hooks;
    ComPort port;
    const double expectedWait = 600.0 * 1000 * double(PollTiming::intervalUs()) / 1e6;

    port.open(1, QStringLiteral("19200,n,8,1"));
    const double cpuBefore = threadCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    UploadImage(port, FlashImage(testFile(21)), TransferVariant::eeprom(), hooks);
    const double wall = double(clock.nsecsElapsed()) / 1e9;
    const double cpu = threadCpuSeconds() - cpuBefore;
    row("reset wait, 600 x 1,000 polls: wall time",
        QStringLiteral("%1 s (count x T = %2 s, off by %3)")
            .arg(wall, 0, 'f', 3)
            .arg(expectedWait, 0, 'f', 3)
            .arg(percentOff(wall, expectedWait)));
    row("reset wait: CPU share of one core",
        QStringLiteral("%1 %").arg(cpu / wall * 100, 0, 'f', 2));

    port.open(1, QStringLiteral("19200,n,8,1"));
    Poller poller(port, hooks);
    const double expectedShort = 10'000.0 * double(PollTiming::intervalUs()) / 1e6;
    double total = 0;
    const int runs = 10;
    for (int i = 0; i < runs; ++i) {
        clock.restart();
        poller.next(10'000);
        total += double(clock.nsecsElapsed()) / 1e9;
    }
    port.close();
    row("wait of 10,000 polls, mean of 10", QStringLiteral("%1 s (count x T = %2 s, off by %3)")
                                                .arg(total / runs, 0, 'f', 4)
                                                .arg(expectedShort, 0, 'f', 4)
                                                .arg(percentOff(total / runs, expectedShort)));
}

double secondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

// Our sender: the firmware transfer through a pty into rx behind the entry exchange.
double ourSecondsPerBlock(const QString &portDir, const QTemporaryDir &dir, const QByteArray &file)
{
    RxRelay relay;
    if (!relay.start(portDir, 2, dir.path(), QStringLiteral("ours.bin")))
        return -1;
    LinkHooks hooks;
    ComPort port;
    if (!OpenPortForTransfer(port, 2, 19200, hooks))
        return -1;
    const FlashImage image(file);
    const bool sent =
        UploadImage(port, image, TransferVariant::firmware(), hooks) == TransferOutcome::Ok;
    if (!sent || relay.waitForRx(10'000) != 0)
        return -1;
    return secondsBetween(relay.firstForwarded(), relay.lastForwarded()) / image.blockCount();
}

// lrzsz's sx on the same kind of pty, into the same kind of receiver.
double sxSecondsPerBlock(const QString &portDir, const QTemporaryDir &dir, const QByteArray &file,
                         int blocks)
{
    const QString source = dir.filePath(QStringLiteral("source.bin"));
    QFile out(source);
    if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size())
        return -1;
    out.close();
    RxRelay relay;
    if (!relay.start(portDir, 3, dir.path(), QStringLiteral("sx.bin"), false))
        return -1;
    const pid_t sx = fork();
    if (sx == 0) {
        const int tty = ::open(QFile::encodeName(relay.devicePath()).constData(), O_RDWR);
        dup2(tty, STDIN_FILENO);
        dup2(tty, STDOUT_FILENO);
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        const QByteArray path = QFile::encodeName(source);
        execlp("sx", "sx", "-b", "-q", path.constData(), static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(sx, &status, 0);
    if (relay.waitForRx(10'000) != 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return secondsBetween(relay.firstForwarded(), relay.lastForwarded()) / blocks;
}

void measureBlockRate(const QString &portDir)
{
    std::printf("512-block transfer through a pty into lrzsz rx\n");
    QTemporaryDir dir;
    const QByteArray file = testFile(512 * 128 - 1);
    // The machine's other work shows up as noise: each sender gets nine runs, alternating, and
    // the best one counts.
    double ours = 1e9;
    double sx = 1e9;
    for (int run = 0; run < 9; ++run) {
        const double oursNow = ourSecondsPerBlock(portDir, dir, file);
        const double sxNow = sxSecondsPerBlock(portDir, dir, file, 512);
        if (oursNow < 0 || sxNow < 0) {
            row("transfer failed", oursNow < 0 ? QStringLiteral("ours") : QStringLiteral("sx"));
            return;
        }
        ours = qMin(ours, oursNow);
        sx = qMin(sx, sxNow);
    }
    row("UploadImage, time per block (best of 9)",
        QStringLiteral("%1 us").arg(ours * 1e6, 0, 'f', 1));
    row("lrzsz sx, time per block (best of 9)", QStringLiteral("%1 us").arg(sx * 1e6, 0, 'f', 1));
    row("UploadImage against sx", QStringLiteral("%1 x").arg(ours / sx, 0, 'f', 2));
}

void measurePacedTransfer(const QString &portDir)
{
    std::printf("64-block transfer into the simulator pacing at 19200 baud\n");
    GaugeOptions options;
    options.baud = 19200;
    options.resetDelay = std::chrono::milliseconds(0);
    GaugeSimulator gauge(options);
    if (!gauge.start(portDir, 4))
        return;
    Clock::time_point handshake;
    Clock::time_point lastAck;
    LinkHooks hooks;
    hooks.log = [&](const QString &line, LinkHooks::LineStyle) {
        if (line == QLatin1String("Handshake abgeschlossen"))
            handshake = Clock::now();
        else if (line == QLatin1String("ACK"))
            lastAck = Clock::now();
    };
    ComPort port;
    OpenPortForTransfer(port, 4, 19200, hooks);
    if (UploadImage(port, FlashImage(testFile(64 * 128 - 1)), TransferVariant::firmware(), hooks) !=
        TransferOutcome::Ok) {
        row("transfer failed", QString());
        return;
    }
    // Each block: 132 bytes to the gauge, then its ACK back, one after the other.
    const double wire = 64.0 * (132 + 1) * 10 / 19200;
    const double measured = secondsBetween(handshake, lastAck);
    row("handshake to last ACK", QStringLiteral("%1 s (wire time %2 s, off by %3)")
                                     .arg(measured, 0, 'f', 4)
                                     .arg(wire, 0, 'f', 4)
                                     .arg(percentOff(measured, wire)));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir ports;
    const QString portDir = ports.filePath(QStringLiteral("ports"));
    qputenv("IVEVA_PORT_DIR", QFile::encodeName(portDir));

    measureWaits(portDir);
    measureBlockRate(portDir);
    measurePacedTransfer(portDir);
    return 0;
}
