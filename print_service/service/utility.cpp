#include "utility.h"

#include "platform/app_paths.h"
#include "platform/database.h"
#include "platform/ini_file.h"
#include "version.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace cookhub {

QString FileVersionText() {
    return u"%1.%2.%3.%4"_s.arg(COOKHUB_VERSION_MAJOR)
        .arg(COOKHUB_VERSION_MINOR)
        .arg(COOKHUB_VERSION_PATCH)
        .arg(COOKHUB_VERSION_TWEAK);
}

QString chooseConnectionIni(const QString& appDir) {
    const QString preferred = u"tessik9.ini"_s;
    return QFileInfo::exists(localPath(appDir + preferred)) ? preferred : u"rolmav3.ini"_s;
}

BranchDbSettings BranchDbSettings::read(const QString& iniFile) {
    const QString section = u"branch_db"_s;
    BranchDbSettings s;
    s.sqlPort = ReadIniString(iniFile, section, u"SQLPort"_s);
    s.logid = ReadIniString(iniFile, section, u"Logid"_s);
    s.logpass = ReadIniString(iniFile, section, u"Logpass"_s);
    s.database = ReadIniString(iniFile, section, u"Database"_s);
    s.servername = ReadIniString(iniFile, section, u"Servername"_s);
    s.provider = ReadIniString(iniFile, section, u"Provider"_s);
    s.odbcDriver = ReadIniString(iniFile, section, u"OdbcDriver"_s);
    return s;
}

QString BranchDbSettings::connectionString() const {
    const QString chosen = provider.isEmpty() ? u"SQLOLEDB.1"_s : provider;
    QString text =
        u"Provider=%1;Password=%2;Persist Security Info=True;User ID=%3; Initial Catalog=%4;Data Source=%5"_s
            .arg(chosen, logpass, logid, database, servername + u',' + sqlPort);
    if (!odbcDriver.isEmpty())
        text += u";Odbc Driver="_s + odbcDriver;
    return text;
}

bool ConnectDatabase(Clock& clock, const QString& connectionString, const QString& appDir) {
    clock.sleep(1000);
    for (const QString& name : {kMainConnection, kMonitorConnection, kWindowConnection}) {
        if (!openConnection(name, connectionString, appDir, 10))
            return false;
    }
    return true;
}

QString resolveReportsDir(const QString& appDir, const QString& directory) {
    if (directory.isEmpty())
        return localPath(appDir + u"Reports"_s);
    if (!directory.contains(u':'))
        return localPath(appDir + directory);
    return localPath(directory);
}

}  // namespace cookhub
