#pragma once

#include "flasher/update/FirmwareInfoUi.h"

#include <functional>

namespace flasher {

// The firmware information command on a console, for the batch mode. It searches online
// always; without `yes` it answers No to the download, so only the versions are shown. With
// `yes` every question is answered Yes. The user's copy goes to `copyPath` (a file, or a
// folder that takes the proposed name); without it no copy is saved.
class ConsoleFirmwareInfoUi : public FirmwareInfoUi
{
public:
    using Print = std::function<void(const QString &line)>;

    ConsoleFirmwareInfoUi(Print print, bool yes, const QString &copyPath);

    bool askYesNo(Question question, const QString &prompt, const QString &title) override;
    bool savesUserCopy() const override { return !m_copyPath.isEmpty(); }
    QString chooseCopyTarget(const QString &presetName) override;
    void downloadedUnchecked(const QString &sha256Hex) override;
    void setWaitCursor(bool) override {}
    void programmingStarts() override {}

private:
    Print m_print;
    bool m_yes;
    QString m_copyPath;
};

} // namespace flasher
