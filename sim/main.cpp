// iveva-gauge-sim: plays the gauge on a pseudo-terminal published as COMn in a port folder.

#include "sim/GaugeSimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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

int numberOption(const QCommandLineParser &parser, const QString &name, int low, int high,
                 int fallback)
{
    if (!parser.isSet(name))
        return fallback;
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < low || value > high)
        fail(QStringLiteral("--%1 erwartet eine Zahl von %2 bis %3, nicht \"%4\"")
                 .arg(name)
                 .arg(low)
                 .arg(high)
                 .arg(parser.value(name)));
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

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("iveva-gauge-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simuliert die IVEVA-Lambdaanzeige an einem Pseudo-Terminal, das als "
                       "COMn im Portordner erscheint."));
    parser.addHelpOption();
    // No --version of Qt's own: the option sets the gauge's firmware version.
    parser.addOptions({
        {QStringLiteral("port-dir"),
         QStringLiteral("Portordner für den Link COMn (Vorgabe: $IVEVA_PORT_DIR)."),
         QStringLiteral("DIR")},
        {QStringLiteral("com"), QStringLiteral("COM-Nummer 1..99 (Vorgabe: 1)."),
         QStringLiteral("N"), QStringLiteral("1")},
        {QStringLiteral("version"),
         QStringLiteral("Firmwareversion in der Kennungsantwort (Vorgabe: V2.16)."),
         QStringLiteral("TEXT"), QStringLiteral("V2.16")},
        {QStringLiteral("store"),
         QStringLiteral("Ordner für empfangene Abbilder firmware.bin und eeprom.eep "
                        "(Vorgabe: aktueller Ordner)."),
         QStringLiteral("DIR")},
        {QStringLiteral("reset-delay"),
         QStringLiteral("ms vom ersten Einstiegszeichen bis zum Controllerreset (Vorgabe: 300)."),
         QStringLiteral("MS")},
        {QStringLiteral("handshake-delay"),
         QStringLiteral("ms zwischen Echo und NAK (Vorgabe: 20)."), QStringLiteral("MS")},
        {QStringLiteral("no-reset"),
         QStringLiteral("Fehler: Controller setzt nie zurück, kein Echo.")},
        {QStringLiteral("no-handshake"), QStringLiteral("Fehler: Echo, aber nie ein NAK.")},
        {QStringLiteral("nak-blocks"),
         QStringLiteral("Fehler: diese Blöcke (1..N, Liste wie 3,3,7) je einmal mit NAK "
                        "ablehnen."),
         QStringLiteral("LIST")},
        {QStringLiteral("silent"), QStringLiteral("Fehler: antwortet überhaupt nicht.")},
        {QStringLiteral("garbage"),
         QStringLiteral("Fehler: Störbytes wenige ms vor jeder Antwort.")},
        {QStringLiteral("split"),
         QStringLiteral("Fehler: jede Antwort byteweise, etwa 2 ms auseinander.")},
        {QStringLiteral("disconnect-after"),
         QStringLiteral("Fehler: nach Block K die Leitung trennen, wie ein gezogener Adapter."),
         QStringLiteral("K")},
        {QStringLiteral("baud"),
         QStringLiteral("Bytes im Takt dieser Baudrate senden und empfangen (Vorgabe: aus)."),
         QStringLiteral("N")},
    });
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        fail(QStringLiteral("unerwartete Argumente: %1")
                 .arg(parser.positionalArguments().join(QLatin1Char(' '))));

    QString portDir = parser.value(QStringLiteral("port-dir"));
    if (portDir.isEmpty())
        portDir = qEnvironmentVariable("IVEVA_PORT_DIR");
    if (portDir.isEmpty())
        fail(QStringLiteral("kein Portordner: --port-dir DIR angeben oder IVEVA_PORT_DIR setzen"));
    // A mistyped folder must not quietly become a new, empty one.
    if (!QFileInfo(portDir).isDir())
        fail(QStringLiteral("Portordner existiert nicht: %1").arg(portDir));
    const int com = numberOption(parser, QStringLiteral("com"), 1, 99, 1);

    GaugeOptions options;
    options.version = parser.value(QStringLiteral("version"));
    options.resetDelay = std::chrono::milliseconds(
        numberOption(parser, QStringLiteral("reset-delay"), 0, 600'000, 300));
    options.handshakeDelay = std::chrono::milliseconds(
        numberOption(parser, QStringLiteral("handshake-delay"), 0, 600'000, 20));
    options.noReset = parser.isSet(QStringLiteral("no-reset"));
    options.noHandshake = parser.isSet(QStringLiteral("no-handshake"));
    options.nakBlocks = blockList(parser.value(QStringLiteral("nak-blocks")));
    options.silent = parser.isSet(QStringLiteral("silent"));
    options.garbage = parser.isSet(QStringLiteral("garbage"));
    options.split = parser.isSet(QStringLiteral("split"));
    options.disconnectAfter = numberOption(parser, QStringLiteral("disconnect-after"), 1, 32767, 0);
    options.baud = numberOption(parser, QStringLiteral("baud"), 1, 4'000'000, 0);

    QDir store(parser.isSet(QStringLiteral("store")) ? parser.value(QStringLiteral("store"))
                                                     : QDir::currentPath());
    if (!store.mkpath(QStringLiteral(".")))
        fail(QStringLiteral("Ablageordner nicht anlegbar: %1").arg(store.path()));
    options.firmwarePath = store.absoluteFilePath(QStringLiteral("firmware.bin"));
    options.eepromPath = store.absoluteFilePath(QStringLiteral("eeprom.eep"));
    options.log = say;

    // Block the stop signals before the simulator's thread exists, so that only sigwait()
    // below receives them and the link is always removed.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    GaugeSimulator simulator(options);
    QString error;
    if (!simulator.start(portDir, com, &error))
        fail(error);
    say(QStringLiteral("COM%1 bereit: %2 -> %3")
            .arg(com)
            .arg(simulator.linkPath(), simulator.devicePath()));

    int signal = 0;
    sigwait(&stopSignals, &signal);
    simulator.stop();
    say(QStringLiteral("Simulator beendet."));
    return 0;
}
