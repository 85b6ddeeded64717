// From a ticket's title to its template: the template code of the title, the format
// folder of the station, the folder's Print.ini [Rmf] list, and the .rmf file loaded
// into the worker's report.
#pragma once

#include "platform/report/report.h"

#include <QString>

#include <array>
#include <functional>

namespace cookhub {

// The eleven ticket kinds that have a template of their own, in the order the format
// settings list them: the title, and the template code that is its key in [Rmf].
struct TemplateKind {
    QString label;  // the ticket's title, and the row's caption in the format settings
    QString key;    // its template code, the key in [Rmf]
};
inline constexpr int kTemplateKindCount = 11;
const std::array<TemplateKind, kTemplateKindCount>& templateKinds();

// The template code of a title ("dcd" for "点菜单" ...). Titles that have no code of
// their own print with the order ticket's template: "特别要求单" is an order ticket
// with a special request, and "点菜单(外卖)" a take-away order ticket; the title on
// the paper still tells them apart.
QString templateCode(const QString& title);

// The template folder of a queued ticket from its sPath: the first and the last
// character dropped, "Reports\" in front, and AppDir in front of a path without ":".
// Empty for an empty sPath.
QString templateFolder(const QString& appDir, const QString& sPath);

// Shows a message and waits until the operator closes it.
using ShowMessage = std::function<void(const QString& text)>;

// LoadReportFile: loads `file` (relative to AppDir unless it has a drive; ".rmf" added
// to a name without extension when no file of that exact name exists) into `report`.
// When the file is missing and `showMessage` is set, the title followed by
// "打印格式不能为空,或设置有误，请设置好打印格式！" is shown first.
bool LoadReportFile(const QString& appDir, const QString& file, const QString& title,
                    report::Report& report, const ShowMessage& showMessage);

// LoadTemplate: the title's code looked up in `folder` + "\Print.ini" [Rmf], then
// LoadReportFile with the message on only for "转台出品单".
bool LoadTemplate(const QString& appDir, const QString& title, const QString& folder,
                  report::Report& report, const ShowMessage& showMessage);

}  // namespace cookhub
