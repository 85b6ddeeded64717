#include "print_queue.h"

#include "crash_point.h"
#include "platform/database.h"
#include "platform/gbk_text.h"
#include "platform/queue_layout.h"
#include "sql_run.h"
#include "templates.h"
#include "trace.h"

#include <QSqlQuery>
#include <QSqlRecord>

using namespace Qt::StringLiterals;

namespace cookhub {

namespace {

const QString kTransferTitle = u"转台出品单"_s;

QString beforeBar(const QString& text)
{
    const qsizetype bar = text.indexOf(u'|');
    return bar < 0 ? QString() : text.left(bar);
}

// The part after the first bar, at most 50 characters; the whole text when there is
// no bar.
QString afterBar(const QString& text)
{
    const qsizetype bar = text.indexOf(u'|');
    return (bar < 0 ? text : text.mid(bar + 1)).left(50);
}

QString quoted(const QString& value)
{
    QString escaped = value;
    escaped.replace(u'\'', u"''"_s);
    return escaped;
}

using Ticket = QueueTicket;

}  // namespace

QueueTicket readQueueTicket(const QSqlQuery& q)
{
    QueueTicket t;
    auto text = [&](const char16_t* name) { return q.value(QString::fromUtf16(name)).toString(); };
    t.printId = text(u"PrintId");
    t.printName = text(u"PrintName");
    t.printName2 = text(u"PrintName2");
    t.printName3 = text(u"PrintName3");
    t.tableNo = text(u"TableNo");
    t.oldTableNo = text(u"OldTableNo");
    t.title = text(u"Title");
    t.billNo = text(u"BillNo");
    t.sPath = text(u"sPath");
    t.stationName = text(u"vch_Name");
    t.operatorName = text(u"vch_operator");
    t.dTime = dateTimeFromSql(q.value(u"dTime"_s));
    t.allMoney = q.value(u"AllMoney"_s).toDouble();
    t.inMoney = q.value(u"InMoney"_s).toDouble();
    return t;
}

QList<report::ReportRow> ticketRows(const QSqlDatabase& db, const QString& printId)
{
    QSqlQuery children(db);
    runSql(children, u" select  *  from   Pos_u_PrintDishChild where ParentId ='"_s + quoted(printId) + u"'"_s);
    QList<report::ReportRow> rows = report::rowsFromQuery(children);
    children.finish();
    return rows;
}

void bindTicket(report::Report& report, const QueueTicket& t, QList<report::ReportRow> rows,
                const QString& tempTableId)
{
    report.setRows(std::move(rows));
    report.clearVariables();
    const TicketVariables variables =
        ticketVariables(t.tableNo, t.oldTableNo, t.title, t.stationName, t.billNo, t.dTime,
                        t.allMoney, t.inMoney, t.operatorName, tempTableId);
    for (const auto& [name, value] : variables.values)
        report.setVariable(name, expressionText(value));
}

namespace {

// The kinds with a switch of their own, tested by substring in this order.
bool kindSwitchedOn(const QString& title, const RunParameters& p)
{
    if (title.contains(u"叫起单"_s))
        return p.zqdPrint;
    if (title.contains(u"即起单"_s))
        return p.jqdPrint;
    if (title.contains(u"叫起出品单"_s))
        return p.zqcpdPrint;
    if (title.contains(u"即起出品单"_s))
        return p.jqcpdPrint;
    return true;
}

// Drops every waiting transfer ticket of a bill and table but the earliest.
void dropRepeatedTransfers(PrintPassContext& c)
{
    QSqlQuery rows(c.db);
    QSqlQuery remove(c.db);
    runSql(rows, u" select  * from Pos_u_PrintDish where (IsPrint<>'Y' and IsPrint<>'S') "_s);
    while (rows.next()) {
        if (rows.value(u"Title"_s).toString() != kTransferTitle)
            continue;
        runSql(remove, u"delete from Pos_u_PrintDish where BillNo ='"_s +
                           quoted(rows.value(u"BillNo"_s).toString()) + u"'"_s +
                           u" and Title = '转台出品单' and TableNo = "_s + u"'"_s +
                           quoted(rows.value(u"TableNo"_s).toString()) + u"'"_s +
                           u" and OrderID > "_s + rows.value(u"OrderId"_s).toString());
    }
}

enum class Next { Ticket, Stop };

Next printOne(PrintPassContext& c, const Ticket& t, QSqlQuery& update)
{
    const QDateTime now = c.clock.now();
    auto trace = [&](const QString& text) {
        if (c.trace)
            c.trace(text);
    };

    QList<report::ReportRow> rows = ticketRows(c.db, t.printId);
    if (rows.isEmpty())
        return Next::Ticket;

    QString printer = t.printName;
    for (const TPrintList& entry : c.state.printList.snapshot()) {
        if (!entry.PrinterName.isEmpty() && entry.PrinterName == printer && !entry.BackupName.isEmpty()) {
            printer = entry.BackupName;
            break;
        }
    }

    if (!t.dTime.isValid() || t.dTime < now.addDays(-1)) {
        runSql(update, u" update Pos_u_PrintDish set IsPrint = 'N',dTimeOut = getdate() where PrintId = '"_s +
                           quoted(t.printId) + u"'"_s);
        return Next::Ticket;
    }

    if (c.output.jobCount(printer) != 0) {
        trace(u"打印机状态异常!"_s);
        return Next::Ticket;
    }

    runSql(update, u" update Pos_u_PrintDish set IsPrint = 'Y'  where IsPrint = 'S' and PrintName = '"_s +
                       quoted(printer) + u"'  "_s + u" and PrintTime > '"_s +
                       formatDateTime(now.addSecs(-3600LL * c.params.lookBackMinutes)) + u"'"_s);
    if (!c.token.running())
        return Next::Stop;

    if (t.sPath.isEmpty()) {
        trace(u"格式未选择!"_s);
        return c.token.running() ? Next::Ticket : Next::Stop;
    }
    const ShowMessage message = [&c](const QString& text) { c.output.showMessage(text); };
    if (!LoadTemplate(c.state.appDir, t.title, templateFolder(c.state.appDir, t.sPath), c.report, message)) {
        trace(u"格式未知错误!"_s);
        return c.token.running() ? Next::Ticket : Next::Stop;
    }

    QSqlQuery temp(c.db);
    runSql(temp, u"select ch_tempID from pos_u_table_temp where ch_billno='"_s + quoted(t.billNo.trimmed()) +
                     u"' and ch_tableno='"_s + quoted(beforeBar(t.tableNo)) + u"'"_s);
    const QString tempId = temp.next() ? temp.value(0).toString() : QString();
    temp.finish();

    bindTicket(c.report, t, std::move(rows), tempId);

    if (kindSwitchedOn(t.title, c.params)) {
        PrintRequest request;
        request.title = t.title;
        request.ticket = c.report.prepare();
        request.printers << printer;
        if (!t.printName2.isEmpty())
            request.printers << t.printName2;
        if (!t.printName3.isEmpty())
            request.printers << t.printName3;
        if (!request.ticket.isEmpty()) {
            const PrintOutcome outcome = c.output.printCopies(request);
            if (!outcome.firstAccepted) {
                // Refused by the spooler: not printed, so not done. It is tried again in
                // the next cycle, and nothing was printed on the other printers yet.
                trace(u"打印机状态异常!"_s);
                return Next::Ticket;
            }
        }
    }

    crashPoint(CrashPoint::Printed);
    // Paper has left: the ticket must end "Y" whatever becomes of the sub-table
    // suffix, so both go in one statement, the suffixed text fitted to its column
    // (appended in SQL it could overflow the column, fail the update and leave the
    // ticket to print again every cycle).
    QString done = u" update Pos_u_PrintDish set IsPrint='Y'"_s;
    if (!tempId.isEmpty()) {
        const QString suffixed =
            fitGbk(t.tableNo + u'_' + tempId, queueTextWidth(kPrintDishColumns, u"TableNo"_s));
        done += u", TableNo='"_s + quoted(suffixed) + u"'"_s;
    }
    runSql(update, done + u"  where PrintId ='"_s + quoted(t.printId) + u"'"_s);
    return Next::Ticket;
}

}  // namespace

QString expressionText(const QString& value)
{
    return u'\'' + quoted(value) + u'\'';
}

TicketVariables ticketVariables(const QString& tableNo, const QString& oldTableNo,
                                const QString& title, const QString& stationName,
                                const QString& billNo, const QDateTime& dTime, double allMoney,
                                double inMoney, const QString& operatorName,
                                const QString& tempTableId)
{
    TicketVariables v;
    QString tableName = afterBar(tableNo);
    if (!tempTableId.isEmpty())
        tableName += u'_' + tempTableId;
    v.values << std::pair{u"桌号"_s, beforeBar(tableNo)} << std::pair{u"桌名"_s, tableName}
             << std::pair{u"旧桌号"_s, beforeBar(oldTableNo)}
             << std::pair{u"旧桌名"_s, afterBar(oldTableNo)} << std::pair{u"标题"_s, title}
             << std::pair{u"厨打名称"_s, stationName} << std::pair{u"单号"_s, billNo};
    if (dTime.isValid())
        v.values << std::pair{u"开单时间"_s, formatDateTime(dTime)};
    v.values << std::pair{u"合计金额"_s, traceNumber(allMoney)}
             << std::pair{u"实收金额"_s, traceNumber(inMoney)}
             << std::pair{u"赠送金额"_s, traceNumber(allMoney - inMoney)}
             << std::pair{u"操作员"_s, operatorName};
    return v;
}

bool PrintQueue(PrintPassContext& c)
{
    dropRepeatedTransfers(c);

    QSqlQuery waiting(c.db);
    runSql(waiting, u" select  * from Pos_u_PrintDish where (IsPrint<>'Y' and IsPrint<>'S') and PrintTime>' "_s +
                        formatDateTime(c.clock.now().addSecs(-60LL * c.params.lookBackMinutes)) +
                        u"' order by OrderId"_s);
    // The tickets are read first: the updates below must not run under an open select
    // of the same table.
    std::vector<Ticket> tickets;
    while (waiting.next())
        tickets.push_back(readQueueTicket(waiting));
    waiting.finish();

    QSqlQuery update(c.db);
    for (const Ticket& ticket : tickets) {
        try {
            if (printOne(c, ticket, update) == Next::Stop)
                return false;
        } catch (const std::exception&) {
            // One ticket's error must not hold back the rest of the queue.
        }
    }
    return c.token.running();
}

}  // namespace cookhub
