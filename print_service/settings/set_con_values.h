// The values behind the connection dialog: the five fields of [branch_db], the
// connection text the dialog tries, and the save.
//
// The dialog tries the server without the port (the service itself connects to
// server + "," + port); installations rely on both forms. The provider and ODBC driver
// stored beside the five keys are kept in what the dialog tries, so a home on the
// embedded database tests as it runs.
#pragma once

#include <QString>

namespace cookhub {

struct ConnectionFields {
    QString server;    // Servername
    QString database;  // Database
    QString port;      // SQLPort
    QString user;      // Logid
    QString password;  // Logpass
};

ConnectionFields readConnectionFields(const QString& iniFile);

// "Provider=...;Password=...;Persist Security Info=True;User ID=...; Initial
// Catalog=...;Data Source=<server>" with the provider stored in `iniFile`.
QString dialogConnectionText(const ConnectionFields& fields, const QString& iniFile);

// The five keys in one write: the whole file or none of it, readable by its owner only
// (the password is plain text, as installations expect). False when nothing was saved.
bool saveConnectionFields(const QString& iniFile, const ConnectionFields& fields);

}  // namespace cookhub
