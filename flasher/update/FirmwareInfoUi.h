#pragma once

#include <QString>

namespace flasher {

// What the firmware information command needs from whoever runs it: the flasher's window (message
// boxes, the save dialog, the mouse pointer, its buttons) or the batch mode (a console).
class FirmwareInfoUi
{
public:
    enum class Question
    {
        SearchOnline, // "flasher suchen?"
        Download,     // "flasher runterladen?"
        Program       // "flasher einspielen?"
    };

    virtual ~FirmwareInfoUi() = default;

    // A Yes/No question without icon; true for Yes.
    virtual bool askYesNo(Question question, const QString &prompt, const QString &title) = 0;
    // False when no copy of the firmware is to be saved for the user at all (the batch mode
    // without a copy path): the command then goes straight on to the helper file.
    virtual bool savesUserCopy() const { return true; }
    // The save dialog for the user's copy, preset with the proposed file name. An empty result
    // means the user cancelled.
    virtual QString chooseCopyTarget(const QString &presetName) = 0;
    // The firmware image arrived and the version file gave no SHA-256 to check it against:
    // its SHA-256 in lower-case hex, for whoever publishes the version file.
    virtual void downloadedUnchecked(const QString &sha256Hex) { Q_UNUSED(sha256Hex) }
    // The wait cursor around each download.
    virtual void setWaitCursor(bool waiting) = 0;
    // The image is loaded and the transfer starts: the window offers neither the file choice
    // nor the firmware upload.
    virtual void programmingStarts() = 0;
};

} // namespace flasher
