#include "shell/Interruption.h"

#include <QTextStream>

#include <atomic>
#include <csignal>

namespace shell {

namespace Interruption {

namespace {

// Written by the signal handler, read by the cancel checks: nothing else may happen in there.
std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void recordSignal(int number)
{
    g_signal.store(number);
}

#ifdef Q_OS_WIN
constexpr int Hangup = 1; // no SIGHUP here, but its status keeps its meaning
#else
constexpr int Hangup = SIGHUP;
#endif

QString signalName(int number)
{
    switch (number) {
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case Hangup:
        return QStringLiteral("SIGHUP");
    default:
        return QStringLiteral("Signal %1").arg(number);
    }
}

} // namespace

void catchStopSignals()
{
#ifdef Q_OS_WIN
    std::signal(SIGINT, recordSignal);
    std::signal(SIGTERM, recordSignal);
#else
    struct sigaction action = {};
    action.sa_handler = recordSignal;
    sigemptyset(&action.sa_mask);
    // The console's own writes go on undisturbed; the waits on the port look at the flag anyway.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    for (int number : {SIGINT, SIGTERM, SIGHUP})
        sigaction(number, &action, nullptr);
#endif
}

void ignoreWriteSignals()
{
#ifndef Q_OS_WIN
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    for (int number : {SIGPIPE, SIGXFSZ})
        sigaction(number, &ignore, nullptr);
#endif
}

int signalNumber()
{
    return g_signal.load();
}

std::optional<int> exitStatus(QTextStream &err, const QString &programName)
{
    const int number = signalNumber();
    if (number == 0)
        return std::nullopt;
    err << programName << ": unterbrochen (" << signalName(number) << ')' << Qt::endl;
    return 128 + number;
}

QList<ExitStatusText> exitStatuses()
{
    return {{128 + Hangup, QStringLiteral("unterbrochen durch SIGHUP")},
            {128 + SIGINT, QStringLiteral("unterbrochen durch SIGINT (Strg+C)")},
            {128 + SIGTERM, QStringLiteral("unterbrochen durch SIGTERM")}};
}

} // namespace Interruption

} // namespace shell
