#include "templates.h"

#include "platform/app_paths.h"
#include "platform/ini_file.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace cookhub {

const std::array<TemplateKind, kTemplateKindCount>& templateKinds()
{
    static const std::array<TemplateKind, kTemplateKindCount> kinds{{
        {u"点菜单"_s, u"dcd"_s},
        {u"出品单"_s, u"cpd"_s},
        {u"催菜单"_s, u"ccd"_s},
        {u"即起单"_s, u"jqd"_s},
        {u"叫起单"_s, u"zqd"_s},
        {u"退菜单"_s, u"tcd"_s},
        {u"即起出品单"_s, u"jqcpd"_s},
        {u"叫起出品单"_s, u"zqcpd"_s},
        {u"转台出品单"_s, u"ztcpd"_s},
        {u"菜品转台出品单"_s, u"cpztcpd"_s},
        {u"退菜出品单"_s, u"tccpd"_s},
    }};
    return kinds;
}

QString templateCode(const QString& title)
{
    for (const TemplateKind& kind : templateKinds()) {
        if (title == kind.label)
            return kind.key;
    }
    if (title == u"特别要求单"_s || title == u"点菜单(外卖)"_s)
        return u"dcd"_s;
    return {};
}

QString templateFolder(const QString& appDir, const QString& sPath)
{
    if (sPath.isEmpty())
        return {};
    const QString folder = u"Reports\\"_s + sPath.mid(1, sPath.size() - 2);
    return folder.contains(u':') ? folder : appDir + folder;
}

bool LoadReportFile(const QString& appDir, const QString& file, const QString& title,
                    report::Report& report, const ShowMessage& showMessage)
{
    try {
        QString path = file.isEmpty() ? QString() : resolveStoredPath(appDir, file);
        if (!path.isEmpty() && !QFileInfo::exists(path) && QFileInfo(path).suffix().isEmpty() &&
            QFileInfo::exists(path + u".rmf"_s))
            path += u".rmf"_s;
        if (path.isEmpty() || !QFileInfo(path).isFile()) {
            if (showMessage)
                showMessage(title + u"打印格式不能为空,或设置有误，请设置好打印格式！"_s);
            return false;
        }
        return report.loadFromFile(path);
    } catch (const std::exception&) {
        return false;  // any failure while checking or loading: the ticket waits, silently
    }
}

bool LoadTemplate(const QString& appDir, const QString& title, const QString& folder,
                  report::Report& report, const ShowMessage& showMessage)
{
    const QString code = templateCode(title);
    const QString file =
        code.isEmpty() ? QString() : ReadIniString(folder + u"\\Print.ini"_s, u"Rmf"_s, code);
    return LoadReportFile(appDir, file, title, report,
                          title == u"转台出品单"_s ? showMessage : ShowMessage());
}

}  // namespace cookhub
