// The print history behind TFQuery, without widgets: the filters, the ticket list
// (fetched as the grid shows it), the dish lines of a ticket, and the reprints, which
// read the queue and never change it.
#pragma once

#include "engine/print_queue.h"
#include "engine/templates.h"
#include "engine/ticket_output.h"
#include "platform/report/report.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQueryModel>
#include <QStringList>

#include <functional>
#include <optional>

namespace cookhub {

// The filter bar's values; a box not ticked leaves its filter out.
struct HistoryFilters {
    bool billOn = false;
    QString bill;
    bool tableOn = false;
    QString table;
    bool timeOn = false;
    QDateTime from, to;
    bool printerOn = false;
    QString printer;  // empty: none chosen
    bool stateOn = false;
    QString state;             // "已打印" or "未打印"; empty: none chosen
    QString type = typeAll();  // a ticket title, or "全部"

    static QString typeAll();
    static QStringList typeItems();  // "全部" first, then the ticket titles
    // The bar as the window opens: both dates today, the times 01:01:01 and 23:59:59.
    static HistoryFilters starting(const QDate& today);
};

// The ticket grid: whole queue rows, newest first, read from the database only as
// the view scrolls to them; a ticket's lines are counted only for the rows read.
class TicketListModel : public QSqlQueryModel {
    Q_OBJECT

  public:
    enum Column {
        BillNo,
        TableNo,
        OldTableNo,
        Title,
        DTime,
        AllMoney,
        Operator,
        PrintName,
        IsPrint,
        StationName,
        PrintId,
        Nums,
        ColumnCount
    };
    using QSqlQueryModel::QSqlQueryModel;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QString printId(int row) const;
    static QString stateText(const QString& isPrint);  // "已打印", "未打印", "已发送"
};

class HistoryQuery {
  public:
    HistoryQuery(QSqlDatabase db, QString appDir);

    // Opening: every queued ticket newest first, and the printer names of the queue.
    bool open();
    // "查询": the tickets matching the filters, newest first. On a database error the
    // list is empty and lastError() says why.
    bool query(const HistoryFilters& filters);
    QString lastError() const { return lastError_; }

    TicketListModel& tickets() { return tickets_; }
    QSqlQueryModel& dishes() { return dishes_; }
    QStringList printers() const { return printers_; }

    // The dish grid shows the lines of the ticket in `row`; empty for no such row.
    void showDishes(int row);

    enum class Prepared { Ready, NoFolder, NoTemplate, NoLines, Gone };
    // Loads the template of the ticket `printId` into `report` and binds its lines and
    // variables, as the printing pass does but without a sub-table suffix.
    Prepared prepare(const QString& printId, report::Report& report, const ShowMessage& message,
                     QueueTicket* ticket = nullptr) const;

    // "全部打印": every listed ticket once, in list order, on `printer`; tickets without
    // template folder, template or lines are skipped. Returns how many were printed.
    int printAll(const QString& printer, report::Report& report, TicketOutput& output,
                 const ShowMessage& message);

  private:
    QSqlDatabase db_;
    QString appDir_;
    TicketListModel tickets_;
    QSqlQueryModel dishes_;
    QStringList printers_;
    QString lastError_;
    // The list's statement and its values, for "全部打印" to walk the same rows.
    QString listSql_;
    QVariantList listValues_;

    bool runList(const QString& where, const QVariantList& values);
};

}  // namespace cookhub
