#pragma once

#include <QString>

namespace devicelink {

// Log lines that several operations share.
namespace LinkTexts {

inline QString openFailed()
{
    return QStringLiteral("Fehler beim öffnen des Comports");
}
inline QString dialoutHint()
{
    return QStringLiteral("Keine Berechtigung für den Comport: Benutzer zur Gruppe \"dialout\" "
                          "hinzufügen (sudo usermod -aG dialout $USER) und neu anmelden");
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
