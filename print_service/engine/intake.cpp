#include "intake.h"

#include "platform/clock.h"
#include "platform/database.h"
#include "sql_run.h"
#include "ticket_title.h"

#include <QSqlRecord>

using namespace Qt::StringLiterals;

namespace cookhub {

namespace {

// The texts below are the statements installed databases have always been read with;
// they are kept exactly, including their spacing.
const QString kAreaSelect =
    u"select   a.ch_dish_barcode,a.ch_oldtableno as OTableNo,n.vch_TableName as OTableName,  l.ch_oldtableno,m.vch_TableName as vch_OldTableName,e.ch_floorno,a.vch_print_memo,a.ch_togono,a.vch_reason,a.ch_cancelflag,a.ch_presentflag,a.int_discount,a.int_discount2,a.ch_billno, c.ch_dish_typeno,c.ch_dish_seriesno,e.vch_TableName,e.ch_tableno,a.dt_operdate,e.ch_tableno, a.ch_printflag,a.ch_outflag1,a.ch_outflag2,j.int_id,i.ch_areaflag,  i.int_area_printid,a.int_flowid,l.int_person,a.ch_dishno,g.vch_dish_unitname,  isnull(f.vch_operator,'系统操作员') as vch_operator,a.vch_operid,c.ch_dishno,c.vch_dishname , c.ch_dish_seriesno , g.vch_dish_unitname , a.int_id , a.num_num , a.vch_print_memo,a.num_price,   d.vch_specname,a.num_addprice,isnull(b.main_dish,'N'),c.ch_dish_typeno "_s;
const QString kFrom =
    u" from pos_u_orderdish a  left join pos_bt_dish_suit b on a.ch_suitdishno=b.ch_dishno and a.ch_dishno=b.ch_dishno_detail  left join pos_bt_dish c  on  a.ch_dishno=c.ch_dishno  left join pos_bt_dish_spec d  on a.ch_dish_barcode=d.ch_specid  left join pos_bt_table e on a.ch_tableno=e.ch_tableno  left join pos_sys_operator f on a.vch_operid=f.vch_operid    left join pos_bt_dish_unit g on g.ch_dish_unitno=c.ch_dish_unitno    left join pos_cp_dish_print i on a.ch_dishno = i.ch_dishno   left join pos_bt_dish_cookprint j on i.int_print_id=j.int_id   left join pos_u_table l on a.ch_tableno=l.ch_tableno and a.ch_billno=l.ch_billno left join pos_bt_table m on l.ch_oldtableno=m.ch_tableno  left join pos_bt_table n on a.ch_oldtableno=n.ch_tableno "_s;
const QString kWhereAreaDC =
    u" where e.ch_floorno in (select ch_floorno from pos_cp_area_detail where int_print_id='%s') and  i.ch_areaflag='Y' and  a.ch_printflag <> 'K' and a.ch_printflag<>'Y'  and a.ch_dishno in   (select ch_dishno from pos_cp_dish_print where int_area_printid in (select int_id as AreaId from pos_cp_area_detail where int_print_id =%D) ) and a.dt_operdate>'"_s;
const QString kWhereDC =
    u" where i.ch_printflag='Y' and  a.ch_printflag<>'K' and a.ch_printflag<>'Y'  and a.ch_dishno in   (select ch_dishno from pos_cp_dish_print where int_print_id=%d ) and a.dt_operdate>'"_s;
const QString kWhereAreaCP =
    u" where e.ch_floorno in (select ch_floorno from pos_cp_area_detail where int_print_id='%s') and  i.ch_area_outflag='Y' and  a.ch_printflag<>'K' and a.ch_outflag1<>'Y'  and a.ch_dishno in   (select ch_dishno from pos_cp_dish_print where int_area_outid1 in (select int_id as AreaId from pos_cp_area_detail where int_print_id =%D) ) and a.dt_operdate>'"_s;
const QString kWhereCP =
    u" where i.ch_outflag='Y'  and  a.ch_printflag<>'K' and a.ch_outflag1<>'Y'  and a.ch_dishno in   (select ch_dishno from pos_cp_dish_print where int_outprint_id1 = %d) and a.dt_operdate>'"_s;

const QString kFlagYes = u"Y"_s;

QString text(const IntakeTable& t, size_t row, int column)
{
    return column < 0 ? QString() : t.value(row, column).toString();
}

double number(const IntakeTable& t, size_t row, int column)
{
    return column < 0 ? 0.0 : t.value(row, column).toDouble();
}

// The columns BuildTickets reads, looked up once per call.
struct Columns {
    explicit Columns(const IntakeTable& t, const QString& flagColumn, const QString& keyColumn)
        : flowId(t.column(u"int_flowid"_s)),
          togoNo(t.column(u"ch_togono"_s)),
          cancelFlag(t.column(u"ch_cancelflag"_s)),
          dishName(t.column(u"vch_dishname"_s)),
          tableNo(t.column(u"ch_tableno"_s)),
          tableName(t.column(u"vch_TableName"_s)),
          operDate(t.column(u"dt_operdate"_s)),
          operatorName(t.column(u"vch_operator"_s)),
          persons(t.column(u"int_person"_s)),
          oldTableNo(t.column(u"ch_oldtableno"_s)),
          oldTableName(t.column(u"vch_OldTableName"_s)),
          billNo(t.column(u"Ch_BillNo"_s)),
          dishOldTableNo(t.column(u"OTableNo"_s)),
          dishOldTableName(t.column(u"OTableName"_s)),
          dishNo(t.column(u"ch_dishno"_s)),
          unitName(t.column(u"vch_dish_unitname"_s)),
          num(t.column(u"num_num"_s)),
          price(t.column(u"num_price"_s)),
          memo(t.column(u"vch_print_memo"_s)),
          addPrice(t.column(u"num_AddPrice"_s)),
          reason(t.column(u"vch_reason"_s)),
          barcode(t.column(u"ch_dish_barcode"_s)),
          presentFlag(t.column(u"ch_presentflag"_s)),
          discount(t.column(u"int_discount"_s)),
          discount2(t.column(u"int_discount2"_s)),
          flag(t.column(flagColumn)),
          key(t.column(keyColumn))
    {
    }
    int flowId, togoNo, cancelFlag, dishName, tableNo, tableName, operDate, operatorName, persons,
        oldTableNo, oldTableName, billNo, dishOldTableNo, dishOldTableName, dishNo, unitName, num,
        price, memo, addPrice, reason, barcode, presentFlag, discount, discount2, flag, key;
};

QString groupKeyColumn(const QString& mode)
{
    if (mode == u"2"_s)
        return u"ch_dish_seriesno"_s;
    if (mode == u"3"_s)
        return u"ch_dish_typeno"_s;
    if (mode == u"4"_s)
        return u"ch_tableno"_s;
    return u"int_flowid"_s;
}

void fillHeader(TDishRecord& r, const IntakeTable& t, size_t row, const Columns& c)
{
    r.TableNo = text(t, row, c.tableNo).trimmed() + u'|' + text(t, row, c.tableName);
    r.dTime = c.operDate < 0 ? QDateTime() : dateTimeFromSql(t.value(row, c.operDate));
    r.Operator = text(t, row, c.operatorName);
    r.Persons = c.persons < 0 ? 0 : t.value(row, c.persons).toInt();
    r.OldTableNo = text(t, row, c.oldTableNo) + u'|' + text(t, row, c.oldTableName);
    r.BillNo = text(t, row, c.billNo);
}

void addDish(TDishRecord& r, const IntakeTable& t, size_t row, const Columns& c, bool cancelPrefix)
{
    TDishList d;
    d.OldTableNo = text(t, row, c.dishOldTableNo);
    d.OldTableName = text(t, row, c.dishOldTableName);
    d.DishNo = text(t, row, c.dishNo);
    d.DishName = text(t, row, c.dishName);
    if (cancelPrefix && text(t, row, c.cancelFlag) == kFlagYes)
        d.DishName.prepend(u"(退)"_s);
    d.DishUnit = text(t, row, c.unitName);
    d.Nums = number(t, row, c.num);
    d.Price = number(t, row, c.price);
    d.PrintMemo = text(t, row, c.memo);
    d.AddPrice = number(t, row, c.addPrice);
    d.Reason = text(t, row, c.reason);
    d.Barcode = text(t, row, c.barcode);
    d.BillNo = text(t, row, c.billNo);

    r.AllMoney += d.Nums * d.Price + d.Nums * d.AddPrice;
    if (text(t, row, c.presentFlag) != kFlagYes) {
        r.InMoney += (d.Nums * d.Price * number(t, row, c.discount) / 100) *
                         number(t, row, c.discount2) / 100 +
                     d.Nums * d.AddPrice;
    }
    r.Dishes.push_back(std::move(d));
}

}  // namespace

QString passName(IntakePass pass)
{
    switch (pass) {
    case IntakePass::AreaDC: return u"AreaDC"_s;
    case IntakePass::DC: return u"DC"_s;
    case IntakePass::AreaCP: return u"AreaCP"_s;
    case IntakePass::CP: return u"CP"_s;
    }
    return {};
}

QString passBaseTitle(IntakePass pass)
{
    return pass == IntakePass::AreaDC || pass == IntakePass::DC ? kOrderTicket : kOutputTicket;
}

QString passFlagColumn(IntakePass pass)
{
    return pass == IntakePass::AreaDC || pass == IntakePass::DC ? u"ch_printflag"_s
                                                                : u"ch_outflag1"_s;
}

QString intakeQuery(IntakePass pass, int stationId, const QString& cutoff)
{
    const QString id = QString::number(stationId);
    QString select = kAreaSelect;
    QString where;
    switch (pass) {
    case IntakePass::AreaDC:
        where = kWhereAreaDC;
        break;
    case IntakePass::DC:
        where = kWhereDC;
        break;
    case IntakePass::AreaCP:
        where = kWhereAreaCP;
        break;
    case IntakePass::CP:
        where = kWhereCP;
        break;
    }
    if (pass == IntakePass::DC || pass == IntakePass::CP) {
        select.replace(u"e.ch_floorno,"_s, QString());
        where.replace(u"%d"_s, id);
    } else {
        where.replace(u"%s"_s, id).replace(u"%D"_s, id);
    }
    return select + kFrom + where + cutoff + u"' order by a.int_flowid"_s;
}

IntakeTable IntakeTable::copyFrom(QSqlQuery& query)
{
    IntakeTable table;
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i)
        table.columns_ << record.fieldName(i);
    while (query.next()) {
        std::vector<QVariant> row;
        row.reserve(static_cast<size_t>(record.count()));
        for (int i = 0; i < record.count(); ++i)
            row.push_back(query.value(i));
        table.rows_.push_back(std::move(row));
    }
    return table;
}

int IntakeTable::column(const QString& name) const
{
    for (qsizetype i = 0; i < columns_.size(); ++i) {
        if (columns_[i].compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

const QVariant& IntakeTable::value(size_t row, int column) const
{
    static const QVariant null;
    if (row >= rows_.size() || column < 0 || static_cast<size_t>(column) >= rows_[row].size())
        return null;
    return rows_[row][static_cast<size_t>(column)];
}

void IntakeTable::setValue(size_t row, int column, const QVariant& value)
{
    if (row < rows_.size() && column >= 0 && static_cast<size_t>(column) < rows_[row].size())
        rows_[row][static_cast<size_t>(column)] = value;
}

void IntakeTable::dropTaken(int column, QSet<QString>& taken) {
    if (column < 0)
        return;
    std::erase_if(rows_, [&](const std::vector<QVariant>& row) {
        const QString id = row[static_cast<size_t>(column)].toString();
        if (taken.contains(id))
            return true;
        taken.insert(id);
        return false;
    });
}

TArrDish* TicketArrays::forMode(int cookprintType)
{
    switch (cookprintType) {
    case 1: return &ArrPerDish;
    case 2: return &ArrPerSeries;
    case 3: return &ArrPerType;
    case 4: return &ArrPerTable;
    default: return nullptr;
    }
}

void TicketArrays::ClearTickets()
{
    ArrPerDish.clear();
    ArrPerSeries.clear();
    ArrPerType.clear();
    ArrPerTable.clear();
}

QString markStatement(const QString& flagColumn) {
    return u" update pos_u_orderdish set "_s + flagColumn + u" = "_s + u"'Y'"_s +
           u" where  int_flowid = ? and "_s + flagColumn + u"<>'Y'"_s;
}

void BuildTickets(TArrDish& target, IntakeTable& rows, const QString& baseTitle,
                  const QString& stationName, const QString& flagColumn, const QString& mode,
                  const QString& stationId)
{
    if (rows.rowCount() == 0)
        return;
    const Columns c(rows, flagColumn, groupKeyColumn(mode));
    QString base = baseTitle;
    if (base.contains(kOrderTicket) && !text(rows, 0, c.togoNo).isEmpty())
        base += kTakeAwaySuffix;

    auto newRecord = [&](size_t row) -> TDishRecord& {
        TDishRecord& r = target.emplace_back();
        fillHeader(r, rows, row, c);
        r.StationName = stationName;
        r.StationId = stationId;
        r.FlagColumn = flagColumn;
        r.Title = TicketTitle(text(rows, row, c.flag), base);
        return r;
    };
    auto take = [&](TDishRecord& r, size_t row) {
        r.FlowIds.push_back(text(rows, row, c.flowId));
        rows.setValue(row, c.flag, kFlagYes);
    };

    if (mode == u"1"_s) {
        for (size_t row = 0; row < rows.rowCount(); ++row) {
            TDishRecord& r = newRecord(row);
            r.GroupKey = text(rows, row, c.flowId);
            r.FlowIdFilter = u" int_flowid = "_s + text(rows, row, c.flowId);
            addDish(r, rows, row, c, false);
            take(r, row);
        }
        return;
    }

    const bool prefixJoined = mode == u"4"_s;
    for (size_t row = 0; row < rows.rowCount(); ++row) {
        if (text(rows, row, c.flag) == kFlagYes)
            continue;
        TDishRecord& r = newRecord(row);
        r.FlowIdFilter = u"int_flowid ="_s + text(rows, row, c.flowId);
        const QString letter = text(rows, row, c.flag);
        const QString bill = text(rows, row, c.billNo);
        addDish(r, rows, row, c, true);
        take(r, row);
        r.GroupKey = text(rows, row, c.key);
        for (size_t other = row + 1; other < rows.rowCount(); ++other) {
            const QString flag = text(rows, other, c.flag);
            if (text(rows, other, c.key) != r.GroupKey || text(rows, other, c.billNo) != bill ||
                flag != letter || flag == kFlagYes)
                continue;
            addDish(r, rows, other, c, prefixJoined);
            r.FlowIdFilter += u" or int_flowid ="_s + text(rows, other, c.flowId);
            take(r, other);
        }
    }
}

void runIntake(IntakePass pass, QSqlQuery& stations, QSqlQuery& intake, int lookBackMinutes,
               const QDateTime& now, TicketArrays& arrays)
{
    runSql(stations, u"select * from pos_bt_dish_cookprint"_s);
    const int idColumn = stations.record().indexOf(u"int_id"_s);
    const int nameColumn = stations.record().indexOf(u"vch_name"_s);
    const int typeColumn = stations.record().indexOf(u"cookprint_type"_s);
    // Each dish of this pass goes to the first station that takes it, as when intake
    // marked it at once: the marks now wait for the commit.
    QSet<QString> taken;
    while (stations.next()) {
        const QString cutoff = formatDateTime(now.addSecs(-60LL * lookBackMinutes));
        const int id = stations.value(idColumn).toInt();
        runSql(intake, intakeQuery(pass, id, cutoff));
        const QString name = stations.value(nameColumn).toString();
        const int type = stations.value(typeColumn).toInt();
        TArrDish* target = arrays.forMode(type);
        if (!target) {
            intake.finish();
            continue;
        }
        IntakeTable table = IntakeTable::copyFrom(intake);
        intake.finish();
        table.dropTaken(table.column(u"int_flowid"_s), taken);
        BuildTickets(*target, table, passBaseTitle(pass), name, passFlagColumn(pass),
                     QString::number(type), stations.value(idColumn).toString());
    }
    stations.finish();
}

}  // namespace cookhub
