// The columns of the two print queue tables with their SQL Server types: what the
// CREATE statements make, what the upgrades add, and how wide every text column is.
// The dialects build their tables from this, and the queue writer fits its values to
// these widths.
#pragma once

#include <QString>

#include <span>

namespace cookhub {

struct QueueColumn {
    const char16_t* name;
    const char16_t* type;  // "varchar", "int", "datetime", "money", "float"
    int width;             // bytes of a varchar; 0 for other types
    bool notNull;
    bool added;  // comes from an upgrade step, not from the CREATE statement
};

// In table order; the created columns first, as the CREATE statements list them.
inline constexpr QueueColumn kPrintDishColumns[] = {
    {u"PrintId", u"varchar", 50, true, false},       {u"OrderId", u"int", 0, true, false},
    {u"RmfType", u"varchar", 256, false, false},     {u"PrintTime", u"datetime", 0, false, false},
    {u"PrintName", u"varchar", 200, false, false},   {u"TableNo", u"varchar", 50, false, false},
    {u"OldTableNo", u"varchar", 50, false, false},   {u"Title", u"varchar", 50, false, false},
    {u"BillNo", u"varchar", 50, false, false},       {u"sPath", u"varchar", 255, false, false},
    {u"dTime", u"datetime", 0, false, false},        {u"AllMoney", u"money", 0, false, false},
    {u"InMoney", u"money", 0, false, false},         {u"IsPrint", u"varchar", 2, false, false},
    {u"vch_operator", u"varchar", 50, false, false}, {u"vch_Name", u"varchar", 50, false, false},
    {u"BakPrinter", u"varchar", 50, false, false},   {u"dTimeOut", u"datetime", 0, false, false},
    {u"TimeOutPrint", u"varchar", 2, false, false},  {u"PrintName2", u"varchar", 255, false, true},
    {u"PrintName3", u"varchar", 255, false, true},
};

inline constexpr QueueColumn kPrintDishChildColumns[] = {
    {u"PrintId", u"int", 0, true, false},
    {u"ParentId", u"varchar", 50, true, false},
    {u"ch_dishno", u"varchar", 50, false, false},
    {u"DishName", u"varchar", 200, false, false},
    {u"DishUnit", u"varchar", 50, false, false},
    {u"Nums", u"float", 0, false, false},
    {u"num_price", u"float", 0, false, false},
    {u"vch_print_memo", u"varchar", 200, false, false},
    {u"vch_reason", u"varchar", 200, false, false},
    {u"ch_oldtableno", u"varchar", 50, false, true},
    {u"ch_oldtableName", u"varchar", 50, false, true},
    {u"BakPrinter", u"varchar", 50, false, true},
    {u"ch_dish_barcode", u"varchar", 10, false, true},
    {u"num_AddPrice", u"float", 0, false, true},
};

// The byte width of a text column of either table; 0 when it has none.
inline int queueTextWidth(std::span<const QueueColumn> table, const QString& column)
{
    for (const QueueColumn& c : table) {
        if (column.compare(QString::fromUtf16(c.name), Qt::CaseInsensitive) == 0)
            return c.width;
    }
    return 0;
}

}  // namespace cookhub
