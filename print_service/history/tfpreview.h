// The preview of a reprint: the ticket drawn as it will print, "打印" and "退出".
#pragma once

#include "engine/ticket_output.h"
#include "print_dialog.h"

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace cookhub {

class TFPreView : public QDialog {
    Q_OBJECT

  public:
    // `printer` is the one the print dialog offers first.
    TFPreView(report::PreparedTicket ticket, QString title, QString printer, TicketOutput& output,
              PrintDialog dialog, QWidget* parent = nullptr);

    void btnPrintClick();  // "打印": through the print dialog
    QString shownText() const;
    // The printers "打印" sent the ticket to, in order.
    const QStringList& printedOn() const { return printedOn_; }

  private:
    report::PreparedTicket ticket_;
    QString title_, printer_;
    TicketOutput& output_;
    PrintDialog dialog_;
    QPlainTextEdit* area_ = nullptr;
    QStringList printedOn_;
};

}  // namespace cookhub
