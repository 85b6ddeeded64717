// The print history window: the queued tickets with their dish lines, filtered, and
// printed again through the preview ("单条打印") or all at once ("全部打印"). It reads
// the queue only.
#pragma once

#include "engine/printer_output.h"
#include "history_query.h"
#include "print_dialog.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QTableView;
class QTimeEdit;

namespace cookhub {

class TFPreView;

class TFQuery : public QDialog {
    Q_OBJECT

  public:
    TFQuery(QSqlDatabase db, QString appDir, QWidget* parent = nullptr);

    void FormShow();          // opening: today's dates, the list, the printer names
    void btnQueryClick();     // "查询"
    void btnPrintOneClick();  // "单条打印"
    void btnPrintAllClick();  // "全部打印"

    HistoryFilters filters() const;  // the filter bar as it stands
    void setFilters(const HistoryFilters& filters);
    HistoryQuery& history() { return query_; }
    QTableView* ticketGrid() const { return tickets_; }
    QTableView* dishGrid() const { return dishes_; }
    void selectTicket(int row);

    // Test seams: the print dialog, and how the preview is shown (modally by default).
    void setPrintDialog(PrintDialog dialog) { dialog_ = std::move(dialog); }
    void setPreviewShower(std::function<void(TFPreView&)> show) { showPreview_ = std::move(show); }
    void setOutput(TicketOutput* output) { output_ = output ? output : &printerOutput_; }

  private:
    void currentChanged();
    void showLoadMessage(const QString& text);

    HistoryQuery query_;
    report::Report report_;  // keeps the last template until the window closes
    PrinterOutput printerOutput_;
    TicketOutput* output_ = &printerOutput_;
    PrintDialog dialog_;
    std::function<void(TFPreView&)> showPreview_;

    QCheckBox *billOn_, *tableOn_, *timeOn_, *printerOn_, *stateOn_;
    QLineEdit *bill_, *table_;
    QDateEdit *fromDate_, *toDate_;
    QTimeEdit *fromTime_, *toTime_;
    QComboBox *printer_, *state_, *type_;
    QTableView *tickets_, *dishes_;
};

}  // namespace cookhub
