#include "history_query.h"

#include "engine/sql_run.h"
#include "platform/clock.h"
#include "platform/database.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

using namespace Qt::StringLiterals;

namespace cookhub {

namespace {

// The grid's columns, then what the window needs behind them. A ticket's lines are
// counted per row read, through the ParentId index, instead of grouping the whole
// child table before the first row can show.
const QString kListSelect =
    u"select a.BillNo, a.TableNo, a.OldTableNo, a.Title, a.dTime, a.AllMoney, a.vch_operator, "
    "a.PrintName, a.IsPrint, a.vch_Name, a.PrintId, "
    "(select count(*) from Pos_u_PrintDishChild c where c.ParentId = a.PrintId) as Nums "
    "from Pos_u_PrintDish a "_s;
const QString kListOrder = u" order by a.OrderId desc"_s;

QString contains(const QString& text) {
    return u'%' + text + u'%';
}

}  // namespace

QString HistoryFilters::typeAll() {
    return u"全部"_s;
}

QStringList HistoryFilters::typeItems() {
    return {u"全部"_s,       u"点菜单"_s,     u"出品单"_s,     u"叫起单"_s,
            u"退菜单"_s,     u"即起单"_s,     u"催菜单"_s,     u"转台出品单"_s,
            u"叫起出品单"_s, u"退菜出品单"_s, u"即起出品单"_s, u"菜品转台出品单"_s};
}

HistoryFilters HistoryFilters::starting(const QDate& today) {
    HistoryFilters f;
    f.from = QDateTime(today, QTime(1, 1, 1));
    f.to = QDateTime(today, QTime(23, 59, 59));
    return f;
}

QString TicketListModel::stateText(const QString& isPrint) {
    if (isPrint == u"Y"_s)
        return u"已打印"_s;
    if (isPrint == u"N"_s)
        return u"未打印"_s;
    if (isPrint == u"S"_s)
        return u"已发送"_s;
    return isPrint;
}

QVariant TicketListModel::data(const QModelIndex& index, int role) const {
    const QVariant value = QSqlQueryModel::data(index, role);
    if (role == Qt::DisplayRole && index.column() == IsPrint)
        return stateText(value.toString().trimmed());
    if (role == Qt::DisplayRole && index.column() == DTime && !value.isNull())
        return formatDateTime(dateTimeFromSql(value));
    return value;
}

QString TicketListModel::printId(int row) const {
    return row < 0 || row >= rowCount() ? QString() : record(row).value(int(PrintId)).toString();
}

HistoryQuery::HistoryQuery(QSqlDatabase db, QString appDir)
    : db_(std::move(db)), appDir_(std::move(appDir)) {}

bool HistoryQuery::runList(const QString& where, const QVariantList& values) {
    listSql_ = kListSelect + where + kListOrder;
    listValues_ = values;
    QSqlQuery q(db_);
    q.setForwardOnly(false);
    bool ok = q.prepare(listSql_);
    for (const QVariant& v : values) q.addBindValue(v);
    ok = ok && q.exec();
    if (!ok) {
        lastError_ = q.lastError().text();
        tickets_.clear();
        dishes_.clear();
        return false;
    }
    lastError_.clear();
    tickets_.setQuery(std::move(q));
    const QStringList headers = {u"单号"_s,     u"桌号/桌名"_s, u"旧桌号/旧桌名"_s, u"标题"_s,
                                 u"开单时间"_s, u"合计金额"_s,  u"点菜人"_s,        u"打印机"_s,
                                 u"状态"_s,     u"打印"_s};
    for (int c = 0; c < headers.size(); ++c) tickets_.setHeaderData(c, Qt::Horizontal, headers[c]);
    showDishes(0);
    return true;
}

bool HistoryQuery::open() {
    printers_.clear();
    QSqlQuery names(db_);
    if (names.exec(u"select distinct(PrintName) as PrintName  from  Pos_u_PrintDish"_s)) {
        while (names.next()) printers_ << names.value(0).toString();
    }
    return runList(QString(), {});
}

bool HistoryQuery::query(const HistoryFilters& f) {
    QString where = u"where a.BillNo<>'' "_s;
    QVariantList values;
    if (f.billOn && !f.bill.trimmed().isEmpty()) {
        where += u" and a.BillNo like ?"_s;
        values << contains(f.bill);
    }
    if (f.tableOn && !f.table.trimmed().isEmpty()) {
        where += u" and a.TableNo like ?"_s;
        values << contains(f.table);
    }
    if (f.timeOn) {
        where += u" and (a.dTime >= ? and a.dTime <= ?)"_s;
        values << formatDateTime(f.from) << formatDateTime(f.to);
    }
    if (f.printerOn && !f.printer.isEmpty()) {
        where += u" and a.PrintName like ?"_s;
        values << contains(f.printer);
    }
    if (f.stateOn && !f.state.isEmpty())
        where += f.state == u"已打印"_s ? u" and a.IsPrint='Y'"_s : u" and a.IsPrint<>'Y'"_s;
    if (!f.type.isEmpty() && f.type != HistoryFilters::typeAll()) {
        where += u" and a.Title like ?"_s;
        values << contains(f.type);
    }
    return runList(where, values);
}

void HistoryQuery::showDishes(int row) {
    const QString id = tickets_.printId(row);
    if (id.isEmpty()) {
        dishes_.clear();
        return;
    }
    QSqlQuery q(db_);
    q.prepare(
        u"select ch_dishno, DishName, DishUnit, Nums, ch_dish_barcode, num_price, "
        "vch_print_memo, ch_OldTableNo, ch_OldTableName, vch_reason "
        "from Pos_u_PrintDishChild where ParentId = ?"_s);
    q.addBindValue(id);
    if (!q.exec()) {
        dishes_.clear();
        return;
    }
    dishes_.setQuery(std::move(q));
    const QStringList headers = {u"编号"_s, u"菜品名称"_s, u"单位"_s,   u"数量"_s,   u"规格"_s,
                                 u"单价"_s, u"口味"_s,     u"旧桌号"_s, u"旧桌名"_s, u"退菜原因"_s};
    for (int c = 0; c < headers.size(); ++c) dishes_.setHeaderData(c, Qt::Horizontal, headers[c]);
}

HistoryQuery::Prepared HistoryQuery::prepare(const QString& printId, report::Report& report,
                                             const ShowMessage& message, QueueTicket* out) const {
    QSqlQuery q(db_);
    q.prepare(u"select * from Pos_u_PrintDish where PrintId = ?"_s);
    q.addBindValue(printId);
    if (!q.exec() || !q.next())
        return Prepared::Gone;
    const QueueTicket ticket = readQueueTicket(q);
    q.finish();
    if (out)
        *out = ticket;
    const QString folder = templateFolder(appDir_, ticket.sPath);
    if (folder.isEmpty())
        return Prepared::NoFolder;
    if (!LoadTemplate(appDir_, ticket.title, folder, report, message))
        return Prepared::NoTemplate;
    QList<report::ReportRow> rows;
    try {
        rows = ticketRows(db_, ticket.printId);
    } catch (const std::exception&) {
        return Prepared::NoLines;
    }
    if (rows.isEmpty())
        return Prepared::NoLines;
    bindTicket(report, ticket, std::move(rows), QString());
    return Prepared::Ready;
}

int HistoryQuery::printAll(const QString& printer, report::Report& report, TicketOutput& output,
                           const ShowMessage& message) {
    // The listed tickets as the list holds them, whatever the grid has read so far.
    QStringList ids;
    {
        QSqlQuery q(db_);
        q.setForwardOnly(true);
        if (!q.prepare(listSql_))
            return 0;
        for (const QVariant& v : listValues_) q.addBindValue(v);
        if (!q.exec())
            return 0;
        while (q.next()) ids << q.value(int(TicketListModel::PrintId)).toString();
    }
    int printed = 0;
    for (const QString& id : ids) {
        QueueTicket ticket;
        if (prepare(id, report, message, &ticket) != Prepared::Ready)
            continue;
        PrintRequest request;
        request.title = ticket.title;
        request.ticket = report.prepare();
        request.printers << printer;
        if (!request.ticket.isEmpty() && output.printCopies(request).firstAccepted)
            ++printed;
    }
    return printed;
}

}  // namespace cookhub
