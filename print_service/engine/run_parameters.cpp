#include "run_parameters.h"

#include "platform/database.h"
#include "platform/ini_file.h"
#include "sql_run.h"

#include <QSqlQuery>

using namespace Qt::StringLiterals;

namespace cookhub {

namespace {

// A whole decimal number as the settings were always read; nothing else counts.
bool wholeNumber(const QString& text, qint64* value)
{
    bool ok = false;
    *value = text.trimmed().toLongLong(&ok, 10);
    return ok;
}

}  // namespace

int pauseFromSetting(const QString& seconds)
{
    qint64 value = 0;
    if (!wholeNumber(seconds, &value) || value > 24 * 3600)
        return 3000;
    const qint64 milliseconds = value * 1000;
    return milliseconds < 10 ? 3000 : static_cast<int>(milliseconds);
}

int lookBackFromSetting(const QString& minutes)
{
    qint64 value = 0;
    if (!wholeNumber(minutes, &value) || value <= 120)
        return 120;
    return static_cast<int>(std::min<qint64>(value, 365LL * 24 * 60));
}

RunParameters LoadParams(const QString& appDir, const QSqlDatabase& db)
{
    const QString file = appDir + u"reports\\Print.ini"_s;
    const QString section = u"PrintParam"_s;
    auto flag = [&](const char16_t* key) {
        return ReadIniString(file, section, QString::fromUtf16(key)) == u"1"_s;
    };

    RunParameters p;
    p.pauseMilliseconds = pauseFromSetting(ReadIniString(file, section, u"cd_stakeout_refresh"_s));

    QSqlQuery query(db);
    // The stored mode is read but has no effect: tickets are always queued.
    runSql(query, u"select vch_value from pos_sys_parameter where vch_parameter = 'print_mode'"_s);
    query.finish();
    p.printMode = u"3"_s;

    runSql(query, u"select max(dt_end) as endTime from pos_u_day_sumup"_s);
    QDateTime end;
    if (query.next())
        end = dateTimeFromSql(query.value(u"endTime"_s));
    query.finish();
    p.businessDayStart = formatDateTime(end.isValid() ? end : zeroDateTime());

    p.lookBackMinutes = lookBackFromSetting(ReadIniString(file, section, u"em_notprint_time"_s));
    p.zqdPrint = flag(u"ZqdPrint");
    p.writeLog = flag(u"WriteLog");
    p.jqdPrint = flag(u"JqdPrint");
    p.jqcpdPrint = flag(u"JqcpdPrint");
    p.zqcpdPrint = flag(u"ZqcpdPrint");
    return p;
}

}  // namespace cookhub
