#pragma once

#include <QString>

namespace flasher {

// What choosing a file in the update window leads to: the path field, the log line and which
// upload button becomes usable. Only the name's last three letters count, in any case.
struct FileChoice
{
    bool exists = false;
    QString fieldText; // the full path, or "Datei existiert nicht"
    QString logLine;
    bool firmwareUsable = false;
    bool eepromUsable = false;
};

// The file type: the name's last three characters in upper case ("" for an empty name).
QString FileTypeOf(const QString &fileName);

// Whether the file's name makes "Firmware hochladen" ("BIN") or "EEPROM hochladen" ("EEP")
// usable; the batch mode's --firmware and --eeprom take the same files.
bool FitsFirmwareUpload(const QString &fileName);
bool FitsEepromUpload(const QString &fileName);

// `fileName` is the full path the file dialog holds (empty before any choice).
FileChoice ChooseFile(const QString &fileName);

} // namespace flasher
