#include "ticket_writer.h"

#include "crash_point.h"
#include "platform/gbk_text.h"
#include "platform/queue_layout.h"
#include "platform/sql_dialect.h"
#include "sql_run.h"
#include "trace.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

#include <cmath>

using namespace Qt::StringLiterals;

namespace cookhub {

namespace {

// The run ended under the commit: nothing of the pass may be kept.
struct RunOver {};

const QString kDishMovedTitle = u"菜品转台出品单"_s;
const QString kTableMovedTitle = u"转台出品单"_s;

// A text that would not fit its column is cut to fit, so the ticket prints with a
// shortened text instead of being refused by the database every cycle.
QVariant fitted(std::span<const QueueColumn> table, const QString& column, const QString& text)
{
    const int width = queueTextWidth(table, column);
    return width > 0 ? fitGbk(text, width) : text;
}

// The money type keeps four decimal places.
double money(double value)
{
    return std::round(value * 10000.0) / 10000.0;
}

void execPrepared(QSqlQuery& query)
{
    if (!query.exec())
        throw SqlFailure(query.lastQuery(), query.lastError().text());
}

}  // namespace

TicketWriter::TicketWriter(const QSqlDatabase& db, const Clock& clock,
                           std::function<void(const QString&)> trace)
    : db_(db), clock_(clock), trace_(std::move(trace))
{
}

void TicketWriter::loadStations()
{
    stations_.clear();
    QSqlQuery query(db_);
    runSql(query, u"select * from pos_bt_dish_cookprint"_s);
    const QSqlRecord r = query.record();
    const int id = r.indexOf(u"int_id"_s), printers = r.indexOf(u"int_printer"_s),
              p1 = r.indexOf(u"vch_printer1"_s), p2 = r.indexOf(u"vch_printer2"_s),
              p3 = r.indexOf(u"vch_printer3"_s), path = r.indexOf(u"sPath"_s),
              backup = r.indexOf(u"bak_cookprint"_s);
    auto text = [&](int column) { return column < 0 ? QString() : query.value(column).toString(); };
    while (query.next()) {
        Station s;
        s.id = text(id);
        s.printers = printers < 0 ? 0 : query.value(printers).toInt();
        s.printer1 = text(p1);
        s.printer2 = text(p2);
        s.printer3 = text(p3);
        s.path = text(path);
        s.backup = text(backup);
        stations_.push_back(std::move(s));
    }
}

QString TicketWriter::newPrintId() const
{
    QString id;
    while (id.isEmpty())
        id = QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
    return id;
}

QSqlQuery& TicketWriter::prepared(std::optional<QSqlQuery>& slot, const QString& sql) {
    if (!slot) {
        slot.emplace(db_);
        if (!slot->prepare(SqlDialect::forDatabase(db_).adapt(sql))) {
            const QString error = slot->lastError().text();
            slot.reset();
            throw SqlFailure(sql, error);
        }
    }
    return *slot;
}

bool TicketWriter::WriteTicket(const TDishRecord& record, const QString& stationId)
{
    const std::vector<TSpec>& specs = specs_;

    const Station* station = nullptr;
    for (const Station& s : stations_) {
        if (s.id.compare(stationId, Qt::CaseInsensitive) == 0) {
            station = &s;
            break;
        }
    }
    if (!station || station->printers <= 0)
        return false;

    const QString printId = newPrintId();
    const std::span<const QueueColumn> child(kPrintDishChildColumns);
    const std::span<const QueueColumn> header(kPrintDishColumns);
    const bool dishMoved = record.Title == kDishMovedTitle;

    QSqlQuery& insertChild = prepared(insertChild_,
                                      u"insert into Pos_u_PrintDishChild (ParentId, ch_dishno, "
                                      u"DishName, DishUnit, Nums, num_price, "
                                      "vch_print_memo, vch_reason, ch_oldtableno, ch_oldtableName, "
                                      "ch_dish_barcode, num_AddPrice) "
                                      "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s);
    const QVariant nullText(QMetaType::fromType<QString>());
    for (const TDishList& dish : record.Dishes) {
        if (dish.BillNo != record.BillNo)
            continue;
        QVariant specName = nullText;
        if (!dish.Barcode.trimmed().isEmpty()) {
            for (const TSpec& spec : specs) {
                if (spec.SpecId == dish.Barcode) {
                    specName = fitted(child, u"ch_dish_barcode"_s, spec.SpecName);
                    break;
                }
            }
        }
        if (trace_) {
            trace_(u"PrintDishChild | "_s + record.Title + u" | "_s + dish.DishName + u" | "_s +
                   dish.DishUnit + u" | "_s + traceNumber(dish.Nums) + u" | "_s +
                   traceNumber(dish.Price) + u" | "_s + dish.DishNo + u" | "_s + printId + u" | "_s +
                   dish.PrintMemo + u" | "_s + dish.Reason + u" | "_s);
        }
        insertChild.addBindValue(printId);
        insertChild.addBindValue(fitted(child, u"ch_dishno"_s, dish.DishNo));
        insertChild.addBindValue(fitted(child, u"DishName"_s, dish.DishName));
        insertChild.addBindValue(fitted(child, u"DishUnit"_s, dish.DishUnit));
        insertChild.addBindValue(dish.Nums);
        insertChild.addBindValue(dish.Price);
        insertChild.addBindValue(fitted(child, u"vch_print_memo"_s, dish.PrintMemo));
        insertChild.addBindValue(fitted(child, u"vch_reason"_s, dish.Reason));
        insertChild.addBindValue(dishMoved ? fitted(child, u"ch_oldtableno"_s, dish.OldTableNo) : nullText);
        insertChild.addBindValue(dishMoved ? fitted(child, u"ch_oldtableName"_s, dish.OldTableName) : nullText);
        insertChild.addBindValue(specName);
        insertChild.addBindValue(dish.AddPrice);
        execPrepared(insertChild);
    }

    if (trace_) {
        trace_(u"PrintDish | "_s + record.TableNo + u" | "_s + record.Title + u" | "_s +
               record.OldTableNo + u" | "_s + record.BillNo + u" | "_s + traceTime(record.dTime) +
               u" | "_s + traceNumber(record.AllMoney) + u" | "_s + traceNumber(record.InMoney) +
               u" | "_s + record.StationName + u" | "_s + printId + u" | "_s);
    }
    const SqlDialect& dialect = SqlDialect::forDatabase(db_);
    QSqlQuery& insertHeader = prepared(
        insertHeader_,
        u"insert into Pos_u_PrintDish (PrintId, vch_operator, PrintName, PrintName2, PrintName3, "
        "PrintTime, TableNo, Title, OldTableNo, BillNo, dTime, AllMoney, InMoney, vch_Name, sPath, "
        "BakPrinter) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s);
    insertHeader.addBindValue(printId);
    insertHeader.addBindValue(fitted(header, u"vch_operator"_s, record.Operator));
    insertHeader.addBindValue(fitted(header, u"PrintName"_s, station->printer1));
    insertHeader.addBindValue(station->printers > 1 ? fitted(header, u"PrintName2"_s, station->printer2) : nullText);
    insertHeader.addBindValue(station->printers > 2 ? fitted(header, u"PrintName3"_s, station->printer3) : nullText);
    insertHeader.addBindValue(dialect.dateTimeValue(clock_.now()));
    insertHeader.addBindValue(fitted(header, u"TableNo"_s, record.TableNo));
    insertHeader.addBindValue(fitted(header, u"Title"_s, record.Title));
    insertHeader.addBindValue(record.Title == kTableMovedTitle
                                  ? fitted(header, u"OldTableNo"_s, record.OldTableNo)
                                  : nullText);
    insertHeader.addBindValue(fitted(header, u"BillNo"_s, record.BillNo));
    insertHeader.addBindValue(dialect.dateTimeValue(record.dTime));
    insertHeader.addBindValue(money(record.AllMoney));
    insertHeader.addBindValue(money(record.InMoney));
    insertHeader.addBindValue(fitted(header, u"vch_Name"_s, record.StationName));
    insertHeader.addBindValue(fitted(header, u"sPath"_s, station->path));
    insertHeader.addBindValue(fitted(header, u"BakPrinter"_s, station->backup));
    execPrepared(insertHeader);
    // The second post: only now does the printing pass see the ticket.
    QSqlQuery& setWaiting =
        prepared(setWaiting_, u"update Pos_u_PrintDish set IsPrint = 'N' where PrintId = ?"_s);
    setWaiting.addBindValue(printId);
    execPrepared(setWaiting);
    return true;
}

namespace {

// A dish of the ticket was queued by another worker since intake read it.
class DishTaken : public std::runtime_error {
public:
    DishTaken() : std::runtime_error("dish already taken") {}
};

}  // namespace

void TicketWriter::writeOne(const TDishRecord& record, bool remark) {
    if (beforeWrites)
        beforeWrites(record);
    if (!mark_ || !mark_->lastQuery().contains(record.FlagColumn))
        mark_.reset();
    QSqlQuery& mark = prepared(mark_, markStatement(record.FlagColumn));
    for (const QString& flowId : record.FlowIds) {
        mark.addBindValue(flowId.toLongLong());
        execPrepared(mark);
        if (mark.numRowsAffected() != 1)
            throw DishTaken();
    }
    QSqlQuery query(db_);
    const bool ok = WriteTicket(record, record.StationId);
    if (ok && remark) {
        runSql(query, u" update pos_u_orderdish set "_s + record.FlagColumn + u"='Y' "_s +
                          u" where "_s + record.FlagColumn + u"<>'Y' and ("_s +
                          record.FlowIdFilter + u')');
    }
    query.finish();
    if (beforeCommit)
        beforeCommit(record);
    crashPoint(CrashPoint::TicketWritten);
}

bool TicketWriter::CommitTickets(const QString& /*passName*/, bool remark, TicketArrays& arrays) {
    loadStations();
    // The specification names, read once for the pass's tickets: they share one
    // transaction, in which the table cannot change under them anyway.
    specs_.clear();
    {
        QSqlQuery specs(db_);
        runSql(specs, u"select * from pos_bt_dish_spec"_s);
        while (specs.next())
            specs_.push_back({specs.value(u"ch_specid"_s).toString(),
                              specs.value(u"vch_specname"_s).toString()});
    }
    const SqlDialect& dialect = SqlDialect::forDatabase(db_);
    const QString savepoint = u"ticket"_s;
    QSqlQuery control(db_);
    auto controlOk = [&](const QString& sql) { return sql.isEmpty() || control.exec(sql); };
    bool open = false;
    try {
        for (TArrDish* array :
             {&arrays.ArrPerTable, &arrays.ArrPerDish, &arrays.ArrPerSeries, &arrays.ArrPerType}) {
            for (TDishRecord& record : *array) {
                if (!running())
                    throw RunOver();
                record.Taken = true;
                if (!open) {
                    if (!db_.transaction())
                        throw SqlFailure(u"begin transaction"_s, db_.lastError().text());
                    open = true;
                }
                if (!controlOk(dialect.savepoint(savepoint)))
                    throw SqlFailure(control.lastQuery(), control.lastError().text());
                try {
                    writeOne(record, remark);
                    controlOk(dialect.releaseSavepoint(savepoint));
                } catch (const std::exception&) {
                    // One ticket's failure must not hold back the others: it goes back
                    // to its savepoint and its dishes come back in the next cycle. When
                    // the engine has ended the whole transaction instead, the tickets
                    // before it come back the same way.
                    if (!controlOk(dialect.rollbackToSavepoint(savepoint)) ||
                        !controlOk(dialect.releaseSavepoint(savepoint))) {
                        db_.rollback();
                        open = false;
                    }
                }
            }
        }
        // The last check before the pass's tickets become visible: a worker whose run
        // ended meanwhile leaves its dishes to the worker that replaced it.
        if (!running())
            throw RunOver();
        if (open && !db_.commit())
            throw SqlFailure(u"commit"_s, db_.lastError().text());
        return true;
    } catch (const RunOver&) {
        if (open)
            db_.rollback();
        return false;
    } catch (...) {
        if (open)
            db_.rollback();
        throw;
    }
}

}  // namespace cookhub
