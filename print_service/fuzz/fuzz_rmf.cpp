// Fuzz target: a ".rmf" template of any bytes, loaded as the printing pass loads it
// and, when it parses, filled with a ticket and rendered as text and ESC/POS. A bad
// template is refused with a reason (its tickets wait); none may crash or overrun.
#include "platform/report/renderers.h"
#include "platform/report/report.h"
#include "platform/report/report_template.h"

#include <cstdint>

using namespace Qt::StringLiterals;
using namespace cookhub::report;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ParseError error;
    std::optional<Template> parsed = parseTemplate(
        QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)),
        u"fuzz.rmf"_s, &error);
    if (!parsed)
        return 0;
    Report report;
    report.setTemplate(std::move(*parsed));
    for (const auto& [name, value] :
         {std::pair{u"标题"_s, u"'点菜单'"_s}, std::pair{u"桌号"_s, u"'A01'"_s},
          std::pair{u"桌名"_s, u"'大厅一号_2'"_s},
          std::pair{u"开单时间"_s, u"'2026-12-11 12:00:00'"_s},
          std::pair{u"合计金额"_s, u"'58.5'"_s}, std::pair{u"操作员"_s, u"'小王'"_s}})
        report.setVariable(name, value);
    report.setRows({ReportRow{{u"DishName"_s, u"(退)宫保鸡丁"_s},
                              {u"Nums"_s, 1.5},
                              {u"DishUnit"_s, u"份"_s},
                              {u"num_price"_s, 38},
                              {u"vch_print_memo"_s, u"少辣"_s}},
                    ReportRow{{u"DishName"_s, QString(60, u'菜')},
                              {u"Nums"_s, -2},
                              {u"num_AddPrice"_s, 1e300},
                              {u"ch_dish_barcode"_s, u"大份"_s}}});
    const PreparedTicket ticket = report.prepare();
    (void)renderText(ticket);
    (void)renderEscPos(ticket);
    return 0;
}
