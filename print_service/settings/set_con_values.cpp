#include "set_con_values.h"

#include "platform/ini_file.h"

using namespace Qt::StringLiterals;

namespace cookhub {

namespace {

const QString kSection = u"branch_db"_s;

}  // namespace

ConnectionFields readConnectionFields(const QString& iniFile) {
    ConnectionFields f;
    f.port = ReadIniString(iniFile, kSection, u"SQLPort"_s);
    f.server = ReadIniString(iniFile, kSection, u"Servername"_s);
    f.database = ReadIniString(iniFile, kSection, u"Database"_s);
    f.password = ReadIniString(iniFile, kSection, u"Logpass"_s);
    f.user = ReadIniString(iniFile, kSection, u"Logid"_s);
    return f;
}

QString dialogConnectionText(const ConnectionFields& fields, const QString& iniFile) {
    const QString provider = ReadIniString(iniFile, kSection, u"Provider"_s);
    const QString driver = ReadIniString(iniFile, kSection, u"OdbcDriver"_s);
    QString text =
        u"Provider=%1;Password=%2;Persist Security Info=True;User ID=%3; Initial Catalog=%4;Data Source=%5"_s
            .arg(provider.isEmpty() ? u"SQLOLEDB.1"_s : provider, fields.password, fields.user,
                 fields.database, fields.server);
    if (!driver.isEmpty())
        text += u";Odbc Driver="_s + driver;
    return text;
}

bool saveConnectionFields(const QString& iniFile, const ConnectionFields& fields) {
    return WriteIniValues(iniFile, kSection,
                          {{u"Servername"_s, fields.server},
                           {u"Database"_s, fields.database},
                           {u"Logid"_s, fields.user},
                           {u"Logpass"_s, fields.password},
                           {u"SQLPort"_s, fields.port}});
}

}  // namespace cookhub
