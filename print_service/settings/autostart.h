// Start with the system: the XDG autostart entry "sPrint.desktop" that starts the print
// service when the user's desktop session starts.
//
// The entry lives in $XDG_CONFIG_HOME/autostart (or ~/.config/autostart). It is written
// whole or not at all; a folder the user may not write leaves everything as it was.
#pragma once

#include <QString>

namespace cookhub {

// Where the entry is (whether or not it exists).
QString autostartEntryPath();

// `program` as one argument of an Exec line of a desktop entry: quoted when it holds a
// space or another reserved character, with the escapes of the Desktop Entry format.
QString desktopExecArgument(const QString& program);

// Writes the entry that starts `program` (the running executable's full path); false
// when it could not be written.
bool writeAutostartEntry(const QString& program);

// Removes the entry, whoever wrote it; true when no entry is left.
bool removeAutostartEntry();

}  // namespace cookhub
