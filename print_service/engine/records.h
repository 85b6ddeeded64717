// The in-memory records the print engine and the service shell share.
//
// A ticket being built by intake is a TDishRecord holding its TDishList lines; station
// printers with their fault flag and chosen backup are TPrintList entries. Plain
// values: no database access, no threads.
#pragma once

#include <QDateTime>
#include <QString>

#include <vector>

namespace cookhub {

struct TPrintList {
    QString PrinterName;   // the station's vch_printer1
    int PrinterIndex = 0;  // the backup's index in the system printer list
    QString BackupName;    // empty when no backup is chosen
    int Fault = 0;         // 1 when the last network check failed
    // Kept by the status monitor so the window needs no database: the address of the
    // first station row of this name, and what the printer said about paper and cover
    // ("缺纸", "纸将尽", "开盖"; empty when it can print or said nothing).
    QString Address;
    QString Condition;
};

struct TDishList {
    QString OldTableNo;
    QString OldTableName;
    QString DishNo;
    QString DishName;
    QString DishUnit;
    double Nums = 0;
    double Price = 0;
    QString PrintMemo;
    double AddPrice = 0;
    QString Reason;
    QString Barcode;  // specification id of the line
    QString BillNo;
};

struct TDishRecord {
    QString TableNo;  // trimmed table number + "|" + table name
    QDateTime dTime;
    QString Operator;
    int Persons = 0;
    QString BillNo;
    QString OldTableNo;  // bill-level previous table: number + "|" + name
    double AllMoney = 0;
    double InMoney = 0;
    QString StationName;
    QString GroupKey;
    QString FlagColumn;    // "ch_printflag" or "ch_outflag1"
    QString FlowIdFilter;  // SQL condition over the dishes' int_flowid
    QString Title;
    std::vector<TDishList> Dishes;
    bool Taken = false;
    QString StationId;
    // The int_flowid of every dish taken into this ticket, in order. Their marks are
    // written together with the ticket's rows, so a failure leaves them waiting.
    std::vector<QString> FlowIds;
};

using TArrDish = std::vector<TDishRecord>;

struct TSpec {
    QString SpecId;
    QString SpecName;
};

}  // namespace cookhub
