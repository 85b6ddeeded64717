// A typical kitchen ticket (a table, eight dishes, remarks, a specification, a reason),
// filled the way the printing pass fills the report, for the benchmark and the pictures.
#pragma once

#include "platform/report/report.h"

namespace cookhub::report::sample {

inline void fill(Report* report, const QString& title)
{
    using namespace Qt::StringLiterals;
    report->setVariable(u"标题"_s, QString(u'\'' + title + u'\''));
    report->setVariable(u"桌号"_s, u"'A08'");
    report->setVariable(u"桌名"_s, u"'牡丹厅'");
    report->setVariable(u"旧桌号"_s, u"'B12'");
    report->setVariable(u"旧桌名"_s, u"'荷花厅'");
    report->setVariable(u"厨打名称"_s, u"'热菜档口'");
    report->setVariable(u"单号"_s, u"'B202403050017'");
    report->setVariable(u"开单时间"_s, u"'2024-03-05 18:07:09'");
    report->setVariable(u"合计金额"_s, u"'236'");
    report->setVariable(u"实收金额"_s, u"'226'");
    report->setVariable(u"赠送金额"_s, u"'10'");
    report->setVariable(u"操作员"_s, u"'王小明'");
    const bool giveBack = title.contains(u"退"_s);
    auto dish = [&](const QString& name, double nums, const QString& unit, double price, const QString& memo = {},
                    const QString& spec = {}, const QString& reason = {}) {
        return ReportRow{{u"DishName"_s, giveBack ? u"(退)"_s + name : name}, {u"DishUnit"_s, unit},
                         {u"Nums"_s, nums}, {u"num_price"_s, price}, {u"vch_print_memo"_s, memo},
                         {u"vch_reason"_s, reason}, {u"ch_dish_barcode"_s, spec}, {u"num_AddPrice"_s, 0.0},
                         {u"ch_oldtableno"_s, QString()}, {u"ch_oldtableName"_s, QString()}};
    };
    if (giveBack) {
        report->setRows({dish(u"剁椒鱼头"_s, 1, u"例"_s, 88, {}, u"大份"_s, u"客人不要了"_s),
                         dish(u"干煸四季豆"_s, 0.5, u"份"_s, 32, {}, {}, u"上菜太慢"_s)});
        return;
    }
    report->setRows({
        dish(u"剁椒鱼头"_s, 1, u"例"_s, 88, u"少辣,多放葱花"_s, u"大份"_s),
        dish(u"宫保鸡丁"_s, 1, u"份"_s, 38),
        dish(u"干煸四季豆"_s, 1.5, u"份"_s, 32, u"不要肉末"_s),
        dish(u"清炒时蔬"_s, 1, u"份"_s, 22, {}, u"小份"_s),
        dish(u"酸辣汤"_s, 1, u"锅"_s, 28),
        dish(u"米饭"_s, 4, u"碗"_s, 2),
    });
}

}  // namespace cookhub::report::sample
