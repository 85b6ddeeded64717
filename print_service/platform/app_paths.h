// Where the print service's files are and how stored Windows paths find them.
//
// Settings hold Windows paths ("Reports\80格式\dcd.rmf", "D:\x.rmf") and name files
// without regard to case. These helpers turn such a text into a Linux path that finds
// the file as Windows would; they never create or change anything on disk.
#pragma once

#include <QString>

namespace cookhub {

// The executable's folder with a trailing '/', or COOKHUB_HOME when that is set.
QString applicationFolder();

// A stored path is absolute when it names a drive ("C:\...", any ':') or starts with '/';
// one that starts with a backslash is below the program folder, as the settings mean it.
bool isAbsoluteStoredPath(const QString& stored);

// Backslashes become '/', and every existing component is matched without regard to
// case ("reports/print.ini" finds "Reports/Print.ini"). A path with a drive letter is
// kept as written: there is no such drive here. Missing components are kept as given,
// so the result also names a file that is still to be created.
QString localPath(const QString& stored);

// `stored` relative to `appDir` unless it is absolute, then made local.
QString resolveStoredPath(const QString& appDir, const QString& stored);

}  // namespace cookhub
