#pragma once

#include "devicelink/PortHolder.h"
#include "devicelink/Printable.h"
#include "devicelink/SerialPort.h"

#include <QString>

namespace devicelink {

// Log lines that several operations share.
namespace LinkTexts {

inline QString openFailed()
{
    return QStringLiteral("Fehler beim öffnen des Comports");
}
inline QString dialoutHint(const QString &group = QStringLiteral("dialout"))
{
    return QStringLiteral("Keine Berechtigung für den Comport: Benutzer zur Gruppe \"%1\" "
                          "hinzufügen (sudo usermod -aG %1 $USER) und neu anmelden")
        .arg(group);
}
// Why a port could not be opened, in a few words.
inline QString openErrorText(SerialPort::OpenError error)
{
    switch (error) {
    case SerialPort::OpenError::None:
        return {};
    case SerialPort::OpenError::Missing:
        return QStringLiteral("nicht vorhanden");
    case SerialPort::OpenError::PermissionDenied:
        return QStringLiteral("keine Berechtigung");
    case SerialPort::OpenError::Busy:
        return QStringLiteral("belegt");
    case SerialPort::OpenError::IoError:
        return QStringLiteral("Ein-/Ausgabefehler");
    case SerialPort::OpenError::Other:
        break;
    }
    return QStringLiteral("lässt sich nicht öffnen");
}
// "/dev/ttyUSB0: belegt von minicom (PID 812)": the device, the reason (with the holder of a
// busy port, when known) and the system's own words.
inline QString openFailureDetail(const QString &device, SerialPort::OpenError error,
                                 const QString &systemText,
                                 const std::optional<PortHolder> &holder = std::nullopt)
{
    QString line = printable(device) + QStringLiteral(": ") + openErrorText(error);
    if (error == SerialPort::OpenError::Busy)
        line += BusyDetail(holder);
    else if (error != SerialPort::OpenError::Missing && !systemText.isEmpty())
        line += QStringLiteral(" (%1)").arg(printable(systemText));
    return line;
}
inline QString connectionLost()
{
    return QStringLiteral("Verbindung zum Comport verloren");
}
inline QString cancelled()
{
    return QStringLiteral("Vorgang abgebrochen, Comport geschlossen");
}
inline QString noPortChosen()
{
    return QStringLiteral("Kein Comport gewählt: bitte einen verfügbaren Port auswählen");
}
inline QString imageTooLarge(int blocks)
{
    return QStringLiteral("Datei zu groß: %1 Blöcke, höchstens 32767 möglich").arg(blocks);
}

} // namespace LinkTexts

} // namespace devicelink
