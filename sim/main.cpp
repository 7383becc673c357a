// iveva-gauge-sim: plays the gauge on a pseudo-terminal published as COMn in a port folder.

#include "shell/CommandLine.h"
#include "sim/GaugeSimulator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <mutex>
#include <pthread.h>

using namespace sim;

namespace {

std::mutex outputMutex;

void say(const QString &line)
{
    std::lock_guard lock(outputMutex);
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

[[noreturn]] void fail(const QString &message)
{
    std::fputs(qPrintable(QStringLiteral("iveva-gauge-sim: %1\n").arg(message)), stderr);
    std::exit(2);
}

int numberOption(const shell::CommandLine &commandLine, const QString &name, int low, int high,
                 int fallback)
{
    if (!commandLine.isSet(name))
        return fallback;
    bool ok = false;
    const int value = commandLine.value(name).toInt(&ok);
    if (!ok || value < low || value > high)
        fail(QStringLiteral("--%1 erwartet eine Zahl von %2 bis %3, nicht \"%4\"")
                 .arg(name)
                 .arg(low)
                 .arg(high)
                 .arg(commandLine.value(name)));
    return value;
}

QList<int> blockList(const QString &text)
{
    QList<int> blocks;
    for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int block = part.trimmed().toInt(&ok);
        if (!ok || block < 1)
            fail(QStringLiteral("--nak-blocks erwartet Blocknummern ab 1, z. B. 3,3,7"));
        blocks.append(block);
    }
    return blocks;
}

shell::Program makeProgram()
{
    shell::Program program;
    program.name = QStringLiteral("iveva-gauge-sim");
    program.summary = QStringLiteral("Simuliert die IVEVA-Lambdaanzeige an einem Pseudo-Terminal, "
                                     "das als COMn im Portordner erscheint.");
    const auto option = [](const char *name, const char *valueName, const QString &help) {
        return shell::Option{QLatin1String(name), QLatin1String(valueName), help, true};
    };
    program.options = {
        option("port-dir", "DIR",
               QStringLiteral("Portordner für den Link COMn; er muss bestehen (Vorgabe: "
                              "$IVEVA_PORT_DIR).")),
        option("com", "N", QStringLiteral("COM-Nummer 1..99 (Vorgabe: 1).")),
        option("firmware-version", "TEXT",
               QStringLiteral("Firmwareversion in der Kennungsantwort (Vorgabe: V2.16).")),
        option("store", "DIR",
               QStringLiteral("Ordner für empfangene Abbilder firmware.bin und eeprom.eep "
                              "(Vorgabe: aktueller Ordner).")),
        option("reset-delay", "MS",
               QStringLiteral("ms vom ersten Einstiegszeichen bis zum Controllerreset (Vorgabe: "
                              "300).")),
        option("handshake-delay", "MS", QStringLiteral("ms zwischen Echo und NAK (Vorgabe: 20).")),
        option("no-reset", "", QStringLiteral("Fehler: Controller setzt nie zurück, kein Echo.")),
        option("no-handshake", "", QStringLiteral("Fehler: Echo, aber nie ein NAK.")),
        option("nak-blocks", "LIST",
               QStringLiteral("Fehler: diese Blöcke (1..N, Liste wie 3,3,7) je einmal mit NAK "
                              "ablehnen.")),
        option("silent", "", QStringLiteral("Fehler: antwortet überhaupt nicht.")),
        option("garbage", "", QStringLiteral("Fehler: Störbytes wenige ms vor jeder Antwort.")),
        option("split", "",
               QStringLiteral("Fehler: jede Antwort byteweise, etwa 2 ms auseinander.")),
        option("disconnect-after", "K",
               QStringLiteral("Fehler: nach Block K die Leitung trennen, wie ein gezogener "
                              "Adapter.")),
        option("baud", "N",
               QStringLiteral("Bytes im Takt dieser Baudrate senden und empfangen (Vorgabe: "
                              "aus).")),
    };
    program.exitStatuses = {{shell::Success, QStringLiteral("beendet durch SIGINT oder SIGTERM")},
                            {shell::UsageError, QStringLiteral("falscher Aufruf, oder der Port "
                                                               "lässt sich nicht einrichten")}};
    return program;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("iveva-gauge-sim"));
    const shell::Program program = makeProgram();
    const shell::CommandLine commandLine =
        shell::CommandLine::parse(program, QCoreApplication::arguments());
    {
        QTextStream out(stdout);
        QTextStream err(stderr);
        if (const std::optional<int> status =
                shell::answerCommonOptions(program, commandLine, out, err))
            return *status;
    }
    const auto value = [&commandLine](const char *name) {
        return commandLine.value(QLatin1String(name));
    };
    const auto isSet = [&commandLine](const char *name) {
        return commandLine.isSet(QLatin1String(name));
    };

    QString portDir = value("port-dir");
    if (portDir.isEmpty())
        portDir = qEnvironmentVariable("IVEVA_PORT_DIR");
    if (portDir.isEmpty())
        fail(QStringLiteral("kein Portordner: --port-dir DIR angeben oder IVEVA_PORT_DIR setzen"));
    // A mistyped folder must not quietly become a new, empty one.
    if (!QFileInfo(portDir).isDir())
        fail(QStringLiteral("Portordner existiert nicht: %1").arg(portDir));
    const int com = numberOption(commandLine, QStringLiteral("com"), 1, 99, 1);

    GaugeOptions options;
    if (isSet("firmware-version"))
        options.version = value("firmware-version");
    options.resetDelay = std::chrono::milliseconds(
        numberOption(commandLine, QStringLiteral("reset-delay"), 0, 600'000, 300));
    options.handshakeDelay = std::chrono::milliseconds(
        numberOption(commandLine, QStringLiteral("handshake-delay"), 0, 600'000, 20));
    options.noReset = isSet("no-reset");
    options.noHandshake = isSet("no-handshake");
    options.nakBlocks = blockList(value("nak-blocks"));
    options.silent = isSet("silent");
    options.garbage = isSet("garbage");
    options.split = isSet("split");
    options.disconnectAfter =
        numberOption(commandLine, QStringLiteral("disconnect-after"), 1, 32767, 0);
    options.baud = numberOption(commandLine, QStringLiteral("baud"), 1, 4'000'000, 0);

    QDir store(isSet("store") ? value("store") : QDir::currentPath());
    if (!store.mkpath(QStringLiteral(".")))
        fail(QStringLiteral("Ablageordner nicht anlegbar: %1").arg(store.path()));
    options.firmwarePath = store.absoluteFilePath(QStringLiteral("firmware.bin"));
    options.eepromPath = store.absoluteFilePath(QStringLiteral("eeprom.eep"));
    options.log = say;

    // Block the stop signals before the simulator's thread exists, so that only sigwait()
    // below receives them and the link is always removed, also when the terminal closes.
    // Output into a closed pipe must not end the simulator without that either.
    signal(SIGPIPE, SIG_IGN);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    GaugeSimulator simulator(options);
    QString error;
    if (!simulator.start(portDir, com, &error))
        fail(error);
    say(QStringLiteral("COM%1 bereit: %2 -> %3")
            .arg(com)
            .arg(simulator.linkPath(), simulator.devicePath()));

    int received = 0;
    sigwait(&stopSignals, &received);
    simulator.stop();
    say(QStringLiteral("Simulator beendet."));
    return 0;
}
