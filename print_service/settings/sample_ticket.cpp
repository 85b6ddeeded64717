#include "sample_ticket.h"

using namespace Qt::StringLiterals;

namespace cookhub {

void fillSampleTicket(report::Report* report, const QString& title) {
    using report::ReportRow;
    // Set as the printing pass sets them: quoted expression texts.
    const std::pair<QString, QString> variables[] = {
        {u"桌号"_s, u"A08"_s},
        {u"桌名"_s, u"牡丹厅"_s},
        {u"旧桌号"_s, u"B12"_s},
        {u"旧桌名"_s, u"荷花厅"_s},
        {u"标题"_s, title},
        {u"厨打名称"_s, u"热菜档口"_s},
        {u"单号"_s, u"B202403050017"_s},
        {u"开单时间"_s, u"2024-03-05 18:07:09"_s},
        {u"合计金额"_s, u"236"_s},
        {u"实收金额"_s, u"226"_s},
        {u"赠送金额"_s, u"10"_s},
        {u"操作员"_s, u"王小明"_s},
    };
    report->clearVariables();
    for (const auto& [name, value] : variables)
        report->setVariable(name, QString(u'\'' + value + u'\''));

    auto dish = [](const QString& no, const QString& name, double nums, const QString& unit,
                   double price) {
        return ReportRow{{u"ch_dishno"_s, no},
                         {u"DishName"_s, name},
                         {u"DishUnit"_s, unit},
                         {u"Nums"_s, nums},
                         {u"num_price"_s, price},
                         {u"vch_print_memo"_s, QString()},
                         {u"vch_reason"_s, QString()},
                         {u"ch_dish_barcode"_s, QString()},
                         {u"num_AddPrice"_s, 0.0},
                         {u"ch_oldtableno"_s, u"B12"_s},
                         {u"ch_oldtableName"_s, u"荷花厅"_s}};
    };
    ReportRow fish = dish(u"1001"_s, u"剁椒鱼头"_s, 1, u"例"_s, 88);
    fish.set(u"ch_dish_barcode"_s, u"大份"_s);
    fish.set(u"vch_print_memo"_s, u"少辣,多放葱花"_s);
    ReportRow chicken = dish(u"1002"_s, u"宫保鸡丁"_s, 1, u"份"_s, 38);
    chicken.set(u"num_AddPrice"_s, 5.0);
    chicken.set(u"vch_print_memo"_s, u"加花生"_s);
    ReportRow beans = dish(u"1003"_s, u"(退)干煸四季豆"_s, 0.5, u"份"_s, 32);
    beans.set(u"vch_reason"_s, u"上菜太慢"_s);
    ReportRow greens = dish(u"1004"_s, u"清炒时蔬"_s, 1, u"份"_s, 22);
    greens.set(u"ch_dish_barcode"_s, u"小份"_s);
    report->setRows({fish, chicken, beans, greens, dish(u"1005"_s, u"米饭"_s, 4, u"碗"_s, 2)});
}

}  // namespace cookhub
