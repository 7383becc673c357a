#pragma once

#include "configurator/core/ConfigSettings.h"

#include <QString>
#include <QtGlobal>

#include <array>

namespace configurator {

// The 21-byte record that the gauge keeps in its EEPROM. Two-byte fields are little-endian.
constexpr int ConfigImageSize = 21;
using ConfigImage = std::array<quint8, ConfigImageSize>;

// A file longer than this is not taken for an image at all.
constexpr qint64 ConfigImageFileLimit = 10000;

// The image of the current selections.
ConfigImage BuildConfigImage(const ConfigSettings &settings);

// Writes the image of the settings into the file in place: a missing file is created, an
// existing one keeps everything beyond the first 21 bytes. False when the file cannot be
// opened or written; the file is then as before and `reason` says why.
bool WriteConfigImageFile(const QString &path, const ConfigSettings &settings,
                          QString *reason = nullptr);

// Reads an image file and applies it to the settings field by field, as far as the file
// allows: a file that cannot be read or is larger than ConfigImageFileLimit changes nothing,
// and the first value that its setting cannot take ends the reading with the fields before it
// applied. Bytes missing at the end of a short file read as 0. Reports nothing.
void ApplyConfigImage(const QString &path, ConfigSettings &settings);

// LoByte + 256 * HiByte as a signed 16-bit value (HiByte >= 128 gives a negative number).
qint16 MakeWord04(quint8 LoByte, quint8 HiByte);

} // namespace configurator
