#include "report_set.h"

#include "platform/app_paths.h"
#include "platform/ini_file.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace cookhub {

namespace {

// A local folder path without the trailing '/' that localPath keeps from "Reports\".
QString localFolder(const QString& appDir, const QString& stored) {
    QString path = resolveStoredPath(appDir, stored);
    while (path.size() > 1 && path.endsWith(u'/')) path.chop(1);
    return path;
}

// The file-name part of a stored value: what follows the last separator.
QString fileNamePart(const QString& value) {
    const qsizetype cut = std::max(value.lastIndexOf(u'\\'), value.lastIndexOf(u'/'));
    return value.mid(cut + 1);
}

}  // namespace

QStringList templateFileNames(const QString& folder) {
    // Windows lists an NTFS folder by name without regard to case; readdir order here
    // would be a hash order nobody can follow in a list.
    return QDir(folder).entryList({u"*.rmf"_s}, QDir::Files | QDir::Hidden | QDir::System,
                                  QDir::Name | QDir::IgnoreCase);
}

QStringList formatFolderNames(const QString& appDir) {
    QStringList names;
    const QStringList entries =
        QDir(localFolder(appDir, u"Reports"_s))
            .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : entries) {
        if (!name.contains(u'.'))
            names << name;
    }
    return names;
}

ReportSetModel::ReportSetModel(QString appDir, QString connectionIni)
    : appDir_(std::move(appDir)), connectionIni_(std::move(connectionIni)) {}

void ReportSetModel::GetPrintIniFile(const QString& chooserText) {
    chooserText_ = chooserText;
    formatDir_ = localFolder(appDir_, u"Reports\\"_s + chooserText);
    const QString printIni = formatDir_ + u"/Print.ini"_s;
    for (int row = 0; row < kTemplateKindCount; ++row)
        rowTexts_[row] = fileNamePart(ReadIniString(printIni, u"Rmf"_s, templateKinds()[row].key));
    listItems_ = QStringList{kNoTemplate} + templateFileNames(formatDir_);
}

void ReportSetModel::LoadParam() {
    rowTexts_.fill(QString());
}

void ReportSetModel::appendTemplateNames(const QString& folder) {
    if (!folder.isEmpty())
        listItems_ += templateFileNames(folder);
}

void ReportSetModel::setRowText(int row, const QString& text) {
    if (row >= 0 && row < kTemplateKindCount)
        rowTexts_[row] = text;
}

ReportSetModel::SaveResult ReportSetModel::save() {
    SaveResult result;
    const QString connectionFile = appDir_ + connectionIni_;
    if (!WriteIniValue(connectionFile, u"Rmf"_s, u"Directory"_s, chooserText_))
        result.failedFiles << localPath(connectionFile);

    const QString folder = u"Reports\\"_s + chooserText_;
    const QString printIni = resolveStoredPath(appDir_, folder + u"\\Print.ini"_s);
    result.printIni = printIni;
    for (int row = 0; row < kTemplateKindCount; ++row) {
        const QString stored = folder + u'\\' + rowTexts_[row];
        // Only a file of this folder can be chosen: "不需要", an empty row or a name
        // from elsewhere keeps what was stored before.
        if (!QFileInfo(resolveStoredPath(appDir_, stored)).isFile())
            continue;
        if (WriteIniValue(printIni, u"Rmf"_s, templateKinds()[row].key, stored))
            result.writtenKeys << templateKinds()[row].key;
        else if (!result.failedFiles.contains(printIni))
            result.failedFiles << printIni;
    }
    GetPrintIniFile(chooserText_);
    return result;
}

QString ReportSetModel::designerFile(int row) const {
    if (row < 0 || row >= kTemplateKindCount)
        return {};
    const QString name = rowTexts_[row];
    if (name.trimmed().isEmpty() || name == kNoTemplate)
        return {};
    QString path = resolveStoredPath(formatDir_ + u'/', name);
    if (!QFileInfo::exists(path) && QFileInfo(name).suffix().isEmpty())
        path += u".rmf"_s;
    return path;
}

}  // namespace cookhub
