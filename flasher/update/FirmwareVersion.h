#pragma once

#include <QString>
#include <optional>

namespace flasher {

// Firmware version texts such as "V2.16": a letter, then a decimal number. The numbers are
// read with a point as the decimal separator whatever the desktop's locale, so a German
// desktop reads "2.16" as two point one six, not 216.
namespace FirmwareVersion {

// The number of the server's version text, from its second character to its end.
std::optional<double> availableNumber(const QString &versionText);
// The number of the gauge's version text: the four characters after its first.
std::optional<double> installedNumber(const QString &versionText);

// Digits, optionally a point and more digits; anything else (blanks, signs, exponents, a comma
// as separator) is not a version number.
std::optional<double> parseNumber(const QString &text);

} // namespace FirmwareVersion

} // namespace flasher
