#pragma once

class QCoreApplication;

namespace shell {

// Both programs speak German: Qt's own texts (file dialogs, standard buttons) follow when Qt's
// German translation is found, next to the program or in Qt's translations folder.
void InstallGermanQtTexts(QCoreApplication &app);

} // namespace shell
