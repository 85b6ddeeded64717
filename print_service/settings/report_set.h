// What the format settings window knows and does, without any widget: the eleven
// ticket kinds with their [Rmf] keys, the format folder, the texts and lists of the
// rows, and the save into the connection settings file and the folder's Print.ini.
//
// Stored values are Windows paths relative to AppDir ("Reports\80格式\dcd.rmf"), as the
// engine reads them; nothing here changes a file except save().
#pragma once

#include "engine/templates.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <array>

namespace cookhub {

// The list entry that means "no template for this kind".
inline const QString kNoTemplate = QStringLiteral("不需要");

// Names of the *.rmf files in `folder` (any case of the extension), sorted by name
// without regard to case. Nothing for a missing folder.
QStringList templateFileNames(const QString& folder);

// The format folders: sub-folders of AppDir + "Reports" whose names contain no dot.
QStringList formatFolderNames(const QString& appDir);

class ReportSetModel {
  public:
    ReportSetModel(QString appDir, QString connectionIni);

    // GetPrintIniFile: the folder of `chooserText`, each row's stored template (the
    // file-name part) and the lists refilled from empty with "不需要" and the folder's
    // templates.
    void GetPrintIniFile(const QString& chooserText);
    // LoadParam: every row starts blank.
    void LoadParam();
    // The main window's additions before the window shows: the templates of ReportsDir
    // at the end of every list.
    void appendTemplateNames(const QString& folder);

    struct SaveResult {
        QStringList writtenKeys;  // the rows that were written, in table order
        QString printIni;         // the Print.ini written into (local path)
        QStringList failedFiles;  // files that could not be written
        bool ok() const { return failedFiles.isEmpty(); }
    };
    // SaveReport followed by GetPrintIniFile: Directory into the connection settings
    // file, then every row whose file exists in the chosen folder into its Print.ini.
    SaveResult save();

    QString chooserText() const { return chooserText_; }
    // AppDir + "Reports\" + chooser text as a local path ("Reports" itself when nothing
    // is chosen).
    QString formatDir() const { return formatDir_; }
    const std::array<QString, kTemplateKindCount>& rowTexts() const { return rowTexts_; }
    void setRowText(int row, const QString& text);
    // Every row offers the same list.
    const QStringList& listItems() const { return listItems_; }

    // The file "设计报表" opens for a row: FormatDir + "\" + the row's text, with ".rmf"
    // appended when that file does not exist and the name has no extension. Empty when
    // the row is empty or "不需要".
    QString designerFile(int row) const;

  private:
    QString appDir_;
    QString connectionIni_;
    QString chooserText_;
    QString formatDir_;
    std::array<QString, kTemplateKindCount> rowTexts_;
    QStringList listItems_;
};

}  // namespace cookhub
