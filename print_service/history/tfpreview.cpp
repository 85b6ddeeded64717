#include "tfpreview.h"

#include "history_strip.h"
#include "platform/report/renderers.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace cookhub {

TFPreView::TFPreView(report::PreparedTicket ticket, QString title, QString printer,
                     TicketOutput& output, PrintDialog dialog, QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog),
      ticket_(std::move(ticket)),
      title_(std::move(title)),
      printer_(std::move(printer)),
      output_(output),
      dialog_(dialog ? std::move(dialog) : PrintDialog(askPrinter)) {
    setObjectName(u"TFPreView"_s);
    setWindowTitle(u"打印预览"_s);
    resize(688, 446);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* strip = new HistoryStrip(u"打印预览"_s, this);
    connect(strip->closePicture(), &QToolButton::clicked, this, &QDialog::reject);
    layout->addWidget(strip);

    area_ = new QPlainTextEdit(this);
    area_->setObjectName(u"preview"_s);
    area_->setReadOnly(true);
    area_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    area_->setPlainText(QString::fromUtf8(report::renderText(ticket_)));
    auto* body = new QVBoxLayout;
    body->setContentsMargins(10, 8, 10, 10);
    body->addWidget(area_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* print = new QPushButton(u"打印"_s, this);
    print->setObjectName(u"btnPrint"_s);
    auto* quit = new QPushButton(u"退出"_s, this);
    quit->setObjectName(u"btnExit"_s);
    buttons->addWidget(print);
    buttons->addWidget(quit);
    body->addLayout(buttons);
    layout->addLayout(body);
    connect(print, &QPushButton::clicked, this, &TFPreView::btnPrintClick);
    connect(quit, &QPushButton::clicked, this, &QDialog::reject);
}

QString TFPreView::shownText() const {
    return area_->toPlainText();
}

void TFPreView::btnPrintClick() {
    const std::optional<QString> printer = dialog_(this, printer_);
    if (!printer || ticket_.isEmpty())
        return;
    PrintRequest request;
    request.title = title_;
    request.ticket = ticket_;
    request.printers << *printer;
    if (output_.printCopies(request).firstAccepted)
        printedOn_ << *printer;
}

}  // namespace cookhub
