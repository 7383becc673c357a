// Measures the device link where its speed and its thrift matter:
//  1. the CPU share of one core while the transfer waits for a controller reset that never
//     comes, and the wall time of that wait (600 x 1,000 polls) and of a 10,000-poll wait,
//     each against count x poll interval;
//  2. a 512-block transfer through a pty into lrzsz's rx, time per block, next to lrzsz's sx
//     sending the same file to the same receiver;
//  3. a 64-block transfer into the simulator pacing its line at 19200 baud, against the time
//     the bytes need on the wire;
//  4. the port scan of COM1..99: with no device (goal under 0.2 s) and with the simulator on
//     one port (goal under 0.5 s), best of five;
//  5. the same through the real iveva-flasher, its log going into a pipe, against sx: the
//     whole program end to end, median (and best) of fifteen alternating runs each;
//  6. the update window (offscreen) during a 512-block transfer into the simulator: how late a
//     10 ms timer of the window's thread fires; and closing the window during each kind of job.
#include "RxRelay.h"
#include "devicelink/BootloaderTransfer.h"
#include "devicelink/ComPort.h"
#include "devicelink/Poller.h"
#include "devicelink/PortScan.h"
#include "flasher/ui/Form1.h"
#include "sim/GaugeSimulator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>

#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace flasher;

using namespace devicelink;
using namespace sim;
using flasher::Form1;

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

// The poll interval of this run (IVEVA_POLL_US, default 50 us), read once in main().
qint64 pollIntervalUs = LinkSettings::DefaultPollIntervalUs;

LinkSettings linkFor(const QString &portDir)
{
    return {portDir, pollIntervalUs};
}

PortFactory portsIn(const QString &portDir)
{
    return [portDir] { return std::make_unique<ComPort>(linkFor(portDir)); };
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
                static_cast<long long>(pollIntervalUs));
    GaugeOptions options;
    options.noReset = true;
    GaugeSimulator gauge(options);
    if (!gauge.start(portDir, 1)) {
        std::printf("  simulator did not start\n");
        return;
    }
    LinkHooks hooks;
    ComPort port(linkFor(portDir));
    const double expectedWait = 600.0 * 1000 * double(pollIntervalUs) / 1e6;

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
    const double expectedShort = 10'000.0 * double(pollIntervalUs) / 1e6;
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
    ComPort port(linkFor(portDir));
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

// The real iveva-flasher (beside this program) uploading through a pty into rx, its log read
// from a pipe as a script would.
double flasherSecondsPerBlock(const QString &portDir, const QTemporaryDir &dir,
                              const QByteArray &file, int blocks)
{
    const QString source = dir.filePath(QStringLiteral("flasher.bin"));
    QFile out(source);
    if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size())
        return -1;
    out.close();
    RxRelay relay;
    if (!relay.start(portDir, 5, dir.path(), QStringLiteral("flasher-rx.bin")))
        return -1;
    QProcess flasher;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("IVEVA_PORT_DIR"), portDir);
    environment.insert(QStringLiteral("IVEVA_POLL_US"), QString::number(pollIntervalUs));
    flasher.setProcessEnvironment(environment);
    flasher.start(
        QCoreApplication::applicationDirPath() + QStringLiteral("/iveva-flasher"),
        {QStringLiteral("--firmware"), source, QStringLiteral("--port"), QStringLiteral("5")});
    if (!flasher.waitForFinished(120'000) || flasher.exitCode() != 0 ||
        relay.waitForRx(10'000) != 0)
        return -1;
    return secondsBetween(relay.firstForwarded(), relay.lastForwarded()) / blocks;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The load the machine had: the mean number of runnable processes over the last minute.
QString loadAverage()
{
    QFile load(QStringLiteral("/proc/loadavg"));
    if (!load.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    return QString::fromLatin1(load.readAll()).section(QLatin1Char(' '), 0, 0);
}

void measureEndToEnd(const QString &portDir)
{
    std::printf("512-block upload by iveva-flasher (log into a pipe) through a pty into rx\n");
    QTemporaryDir dir;
    const QByteArray file = testFile(512 * 128 - 1);
    // Other work on the machine makes single runs scatter widely: many alternating runs, the
    // median for the figure and the best as the cost without that work.
    constexpr int Runs = 15;
    QList<double> flasher;
    QList<double> sx;
    const QString loadBefore = loadAverage();
    for (int run = 0; run < Runs; ++run) {
        flasher.append(flasherSecondsPerBlock(portDir, dir, file, 512));
        sx.append(sxSecondsPerBlock(portDir, dir, file, 512));
        if (flasher.last() < 0 || sx.last() < 0) {
            row("transfer failed",
                flasher.last() < 0 ? QStringLiteral("iveva-flasher") : QStringLiteral("sx"));
            return;
        }
    }
    const auto us = [](double seconds) { return QString::number(seconds * 1e6, 'f', 1); };
    const auto best = [](const QList<double> &values) {
        return *std::min_element(values.begin(), values.end());
    };
    row("iveva-flasher per block: median, best of 15",
        us(median(flasher)) + QStringLiteral(" us, ") + us(best(flasher)) + QStringLiteral(" us"));
    row("lrzsz sx per block: median, best of 15",
        us(median(sx)) + QStringLiteral(" us, ") + us(best(sx)) + QStringLiteral(" us"));
    row("iveva-flasher end to end against sx (goal at most 1.0)",
        QStringLiteral("%1 x (best against best %2 x)")
            .arg(median(flasher) / median(sx), 0, 'f', 2)
            .arg(best(flasher) / best(sx), 0, 'f', 2));
    row("load average before, after", loadBefore + QStringLiteral(", ") + loadAverage());
}

void measureBlockRate(const QString &portDir)
{
    std::printf("512-block transfer through a pty into lrzsz rx\n");
    QTemporaryDir dir;
    const QByteArray file = testFile(512 * 128 - 1);
    // The machine's other work shows up as noise: each sender gets nine runs, alternating on the
    // same kind of relay, and the median counts.
    QList<double> ours;
    QList<double> sx;
    for (int run = 0; run < 9; ++run) {
        ours.append(ourSecondsPerBlock(portDir, dir, file));
        sx.append(sxSecondsPerBlock(portDir, dir, file, 512));
        if (ours.last() < 0 || sx.last() < 0) {
            row("transfer failed", ours.last() < 0 ? QStringLiteral("ours") : QStringLiteral("sx"));
            return;
        }
    }
    const double oursMedian = median(ours);
    const double sxMedian = median(sx);
    row("UploadImage, time per block (median of 9)",
        QStringLiteral("%1 us").arg(oursMedian * 1e6, 0, 'f', 1));
    row("lrzsz sx, time per block (median of 9)",
        QStringLiteral("%1 us").arg(sxMedian * 1e6, 0, 'f', 1));
    row("UploadImage against sx", QStringLiteral("%1 x").arg(oursMedian / sxMedian, 0, 'f', 2));
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
    ComPort port(linkFor(portDir));
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

void measureScan(const QString &portDir)
{
    std::printf("port scan COM1..99\n");
    const auto bestOfFive = [&portDir] {
        double best = 1e9;
        for (int run = 0; run < 5; ++run) {
            ComPort port(linkFor(portDir));
            const Clock::time_point start = Clock::now();
            ScanAvailablePorts(port, LinkHooks());
            best = std::min(best, secondsBetween(start, Clock::now()));
        }
        return best;
    };
    row("no device", QStringLiteral("%1 s (goal under 0.2 s)").arg(bestOfFive(), 0, 'f', 4));
    GaugeSimulator gauge;
    if (!gauge.start(portDir, 3))
        return;
    row("simulator on COM3",
        QStringLiteral("%1 s (goal under 0.5 s)").arg(bestOfFive(), 0, 'f', 4));
}

// Runs the window's events until `done` holds or `ms` have passed; false on the timeout.
bool runUntil(const std::function<bool()> &done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

QPushButton *button(const Form1 &w, const char *name)
{
    return w.findChild<QPushButton *>(QLatin1String(name));
}

void measureWindowTimer(const QString &portDir)
{
    std::printf("Update window during a 512-block transfer into the simulator\n");
    GaugeOptions options;
    options.resetDelay = std::chrono::milliseconds(0);
    GaugeSimulator gauge(options);
    QTemporaryDir files;
    const QString path = files.filePath(QStringLiteral("fw.bin"));
    QFile file(path);
    if (!gauge.start(portDir, 1) || !file.open(QIODevice::WriteOnly) ||
        file.write(testFile(512 * 128 - 1)) != 512 * 128 - 1)
        return;
    file.close();
    Form1 w(portsIn(portDir));
    w.show();
    runUntil([&w] { return !w.busy(); }, 10'000);
    w.setOpenFileDialog(
        [path](QWidget *, const QString &, const Form1::Chosen &chosen) { chosen(path); });
    button(w, "cmd_Search_File")->click();

    QList<double> lateMs;
    QElapsedTimer sinceTick;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        lateMs.append(double(sinceTick.nsecsElapsed()) / 1e6 - 10.0);
        sinceTick.restart();
    });
    QElapsedTimer transfer;
    transfer.start();
    button(w, "cmd_Upload")->click();
    sinceTick.start();
    tick.start();
    QEventLoop loop;
    QObject::connect(&w, &Form1::idle, &loop, &QEventLoop::quit);
    loop.exec();
    tick.stop();
    const double seconds = double(transfer.nsecsElapsed()) / 1e9;
    if (lateMs.isEmpty() || gauge.imagesStored() != 1) {
        row("transfer failed", QString());
        return;
    }
    std::sort(lateMs.begin(), lateMs.end());
    const double p99 = lateMs[qsizetype(double(lateMs.size() - 1) * 0.99)];
    row("transfer time", QStringLiteral("%1 s").arg(seconds, 0, 'f', 2));
    row("10 ms timer: ticks, 99th percentile delay, worst", QStringLiteral("%1, %2 ms, %3 ms")
                                                                .arg(lateMs.size())
                                                                .arg(p99, 0, 'f', 2)
                                                                .arg(lateMs.last(), 0, 'f', 2));
}

// Closes a window whose job has been running for 100 ms; the time until the window is closed
// and its job (with the port) has ended.
void measureCloseDuringJobs(const QString &portDir)
{
    std::printf("Closing the update window during a job\n");
    GaugeOptions silent;
    silent.silent = true;
    GaugeSimulator quiet(silent);
    GaugeSimulator answering;
    if (!quiet.start(portDir + QStringLiteral("/silent"), 1) ||
        !answering.start(portDir + QStringLiteral("/answering"), 1))
        return;
    QTemporaryDir files;
    const QString path = files.filePath(QStringLiteral("fw.bin"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(testFile(1000)) != 1000)
        return;
    file.close();

    for (const char *job : {"port scan", "device search", "upload", "Firmware-Info question"}) {
        const bool question = QLatin1String(job) == QLatin1String("Firmware-Info question");
        Form1 w(portsIn(portDir +
                        (question ? QStringLiteral("/answering") : QStringLiteral("/silent"))));
        w.show();
        bool asked = false;
        w.setYesNoQuestion(
            [&asked](QWidget *, const QString &, const QString &, auto) { asked = true; });
        w.setOpenFileDialog(
            [path](QWidget *, const QString &, const Form1::Chosen &chosen) { chosen(path); });
        if (QLatin1String(job) != QLatin1String("port scan")) {
            runUntil([&w] { return !w.busy(); }, 10'000);
            button(w, "cmd_Search_File")->click();
            button(w, question                                        ? "Command3"
                      : QLatin1String(job) == QLatin1String("upload") ? "cmd_Upload"
                                                                      : "Command4")
                ->click();
            runUntil([&] { return question ? asked : false; }, 100);
        }
        QElapsedTimer clock;
        clock.start();
        w.close();
        const bool closed = runUntil([&w] { return !w.isVisible() && !w.busy(); }, 10'000);
        row(job, closed ? QStringLiteral("%1 ms").arg(double(clock.nsecsElapsed()) / 1e6, 0, 'f', 1)
                        : QStringLiteral("not closed within 10 s"));
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir ports;
    const QString portDir = ports.filePath(QStringLiteral("ports"));
    if (const qint64 us = qEnvironmentVariableIntValue("IVEVA_POLL_US"); us > 0)
        pollIntervalUs = us;

    // "endtoend": only the program against sx.
    if (QCoreApplication::arguments().contains(QStringLiteral("endtoend"))) {
        measureEndToEnd(portDir);
        return 0;
    }
    // "window": only the update window's figures.
    if (!QCoreApplication::arguments().contains(QStringLiteral("window"))) {
        measureWaits(portDir);
        measureBlockRate(portDir);
        measureEndToEnd(portDir);
        measurePacedTransfer(portDir);
        measureScan(portDir);
    }
    measureWindowTimer(portDir);
    measureCloseDuringJobs(portDir);
    return 0;
}
