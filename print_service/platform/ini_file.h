// Initialisation files as the Windows profile functions handle them.
//
// One value is read or written per call; sections and keys match without regard to
// case; every other line of the file is kept byte for byte; text is GBK on disk with
// CR LF line ends. Nothing is cached: each call opens and closes the file. A file that
// is missing, unreadable or garbage reads as empty values and never fails loudly.
#pragma once

#include <QString>

#include <utility>
#include <vector>

namespace cookhub {

// Empty when any argument is empty, the file or key is missing, or anything fails.
// The value is trimmed and loses one pair of surrounding quotes, as on Windows.
QString ReadIniString(const QString& file, const QString& section, const QString& key);

// Writes one value, creating the file, section and key as needed. Every failure is
// ignored, as the callers of the settings windows expect.
void WriteIniString(const QString& file, const QString& section, const QString& key,
                    const QString& value);

// The same write, telling whether the file was written (the connection dialog reports
// a failed save).
bool WriteIniValue(const QString& file, const QString& section, const QString& key,
                   const QString& value);

// Several values of one section in one write that replaces the whole file or leaves it
// as it was, readable and writable by its owner only (it may hold a password).
using IniValues = std::vector<std::pair<QString, QString>>;
bool WriteIniValues(const QString& file, const QString& section, const IniValues& values);

}  // namespace cookhub
