#pragma once

#include <QFileInfo>
#include <QString>

namespace devicelink {

// Explanations that follow a failure: what to check. The windows show them as "Hinweis: "
// lines after the log lines, the batch mode on the standard error.
namespace LinkHints {

// A search or a command that found no port it could open.
inline QString noPort()
{
    return QStringLiteral("Kein verfügbarer serieller Port: ist der USB-Adapter eingesteckt? Ist "
                          "IVEVA_PORT_DIR gesetzt, gelten nur die Einträge COM1 bis COM99 in "
                          "diesem Ordner");
}
inline QString noAnswer(int portsAsked)
{
    return QStringLiteral("Kein Gerät hat geantwortet (%1 Port(s) gefragt): das Gerät muss "
                          "eingeschaltet und angeschlossen sein")
        .arg(portsAsked);
}
inline QString noReset()
{
    return QStringLiteral("Bitte prüfen: Ist das Gerät mit Strom versorgt, das Kabel fest "
                          "gesteckt, der richtige COM-Port gewählt und die Geschwindigkeit "
                          "passend?");
}
inline QString noHandshake()
{
    return QStringLiteral("Das Gerät hat nach dem Controllerreset nicht zum Empfang bereit "
                          "gemeldet: Kabel und Geschwindigkeit prüfen und erneut versuchen");
}
// Empty when the port folder is not set or exists.
inline QString missingPortDir(const QString &portDir)
{
    if (portDir.isEmpty() || QFileInfo(portDir).isDir())
        return {};
    return QStringLiteral("Der Portordner \"%1\" aus IVEVA_PORT_DIR existiert nicht: es gibt "
                          "keinen seriellen Port")
        .arg(portDir);
}

} // namespace LinkHints

} // namespace devicelink
