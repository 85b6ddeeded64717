// The shared routines of the service shell: the connection settings, the database
// connections, the program version and the folders derived from the settings.
#pragma once

#include "platform/clock.h"

#include <QString>

namespace cookhub {

inline const QString kMainConnection = QStringLiteral("MainConnection");
inline const QString kMonitorConnection = QStringLiteral("MonitorConnection");
inline const QString kWindowConnection = QStringLiteral("WindowConnection");

// Four decimal numbers of the build's version joined by "." ("1.0.1.21").
QString FileVersionText();

// "tessik9.ini" when it exists in `appDir`, else "rolmav3.ini".
QString chooseConnectionIni(const QString& appDir);

// The [branch_db] section of the connection settings file.
struct BranchDbSettings {
    QString servername;
    QString sqlPort;
    QString database;
    QString logid;
    QString logpass;
    QString provider;    // optional; empty means SQL Server ("SQLOLEDB.1")
    QString odbcDriver;  // optional ODBC driver name for SQL Server

    static BranchDbSettings read(const QString& iniFile);
    // "Provider=SQLOLEDB.1;Password=%s;Persist Security Info=True;User ID=%s;
    // Initial Catalog=%s;Data Source=%s" with Servername + "," + SQLPort.
    QString connectionString() const;
};

// Waits 1000 ms, then opens MainConnection, MonitorConnection and WindowConnection in
// turn with `connectionString`; false at the first that fails (the later ones are left
// as they were).
bool ConnectDatabase(Clock& clock, const QString& connectionString, const QString& appDir);

// The template directory of a Start from [Rmf] Directory: empty gives AppDir +
// "Reports", a value without ":" gets AppDir put in front.
QString resolveReportsDir(const QString& appDir, const QString& directory);

}  // namespace cookhub
