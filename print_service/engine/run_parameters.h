// The print worker's run parameters: read once when a worker is made, so a change to
// the settings takes effect at the next Start.
#pragma once

#include "platform/clock.h"

#include <QSqlDatabase>
#include <QString>

namespace cookhub {

struct RunParameters {
    int pauseMilliseconds = 3000;  // the cycle's pause; also the status monitor's
    int lookBackMinutes = 120;     // intake and printing look this far back
    QString printMode = QStringLiteral("3");
    QString businessDayStart;  // "yyyy-MM-dd hh:mm:ss" of the last day close
    bool zqdPrint = false;     // print "叫起单"
    bool writeLog = false;     // trace file on
    bool jqdPrint = false;     // print "即起单"
    bool jqcpdPrint = false;   // print "即起出品单"
    bool zqcpdPrint = false;   // print "叫起出品单"
};

// The rules for the two numbers, on the texts as stored.
int pauseFromSetting(const QString& seconds);
int lookBackFromSetting(const QString& minutes);

// LoadParams: the print settings file AppDir + "reports\Print.ini" [PrintParam] and
// the database (print mode, the business day). A failing query throws SqlFailure: no
// worker is made then.
RunParameters LoadParams(const QString& appDir, const QSqlDatabase& db);

}  // namespace cookhub
