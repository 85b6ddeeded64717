// The format settings window (TFReportSet): the format folder chooser, the eleven
// ticket kinds with their template drop-downs and "设计报表", "保存" and "退出". The
// rows and the save rules live in ReportSetModel; this window shows them.
#pragma once

#include "report_set.h"

#include <QDialog>

#include <array>
#include <functional>

class QComboBox;
class QPushButton;

namespace cookhub {

class TFReportSet : public QDialog {
    Q_OBJECT

  public:
    // Opening: GetPrintIniFile with nothing chosen, then LoadParam.
    TFReportSet(const QString& appDir, const QString& connectionIni, QWidget* parent = nullptr);

    // What the main window does before showing the window.
    void appendTemplateNames(const QString& reportsDir);
    void setFormatFolders(const QStringList& names);

    void GetPrintIniFile();
    void LoadParam();
    void btnSaveClick();
    void btnDesignClick(int row);

    // Test seam: what "设计报表" opens (file, ticket title). The designer by default.
    using DesignerOpener =
        std::function<void(QWidget* parent, const QString& file, const QString& title)>;
    void setDesignerOpener(DesignerOpener opener) { openDesigner_ = std::move(opener); }

    QComboBox* chooser() const { return chooser_; }
    QComboBox* row(int index) const { return rows_[index]; }
    const ReportSetModel& model() const { return model_; }

  private:
    void buildWindow();
    void showModel();
    void takeRowTexts();

    ReportSetModel model_;
    QComboBox* chooser_ = nullptr;
    std::array<QComboBox*, kTemplateKindCount> rows_{};
    DesignerOpener openDesigner_;
};

}  // namespace cookhub
