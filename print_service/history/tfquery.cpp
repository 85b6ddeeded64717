#include "tfquery.h"

#include "history_strip.h"
#include "platform/message_box.h"
#include "tfpreview.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimeEdit>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace cookhub {

namespace {

QTableView* makeGrid(QWidget* parent, const QString& name) {
    auto* grid = new QTableView(parent);
    grid->setObjectName(name);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->verticalHeader()->setDefaultSectionSize(22);
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setStretchLastSection(true);
    return grid;
}

}  // namespace

TFQuery::TFQuery(QSqlDatabase db, QString appDir, QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::Window),
      query_(std::move(db), std::move(appDir)),
      dialog_(askPrinter),
      showPreview_([](TFPreView& preview) { preview.exec(); }) {
    setObjectName(u"TFQuery"_s);
    setWindowTitle(u"打印查询"_s);
    resize(1010, 674);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* strip = new HistoryStrip(u"打印查询"_s, this);
    connect(strip->closePicture(), &QToolButton::clicked, this, &QDialog::reject);
    layout->addWidget(strip);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(10, 8, 10, 10);
    auto* bar = new QHBoxLayout;
    auto check = [this](const QString& text, const char* name) {
        auto* box = new QCheckBox(text, this);
        box->setObjectName(QLatin1String(name));
        return box;
    };
    billOn_ = check(u"单号："_s, "chkBill");
    bill_ = new QLineEdit(this);
    tableOn_ = check(u"桌号："_s, "chkTable");
    table_ = new QLineEdit(this);
    timeOn_ = check(u"时间："_s, "chkTime");
    fromDate_ = new QDateEdit(this);
    fromTime_ = new QTimeEdit(this);
    toDate_ = new QDateEdit(this);
    toTime_ = new QTimeEdit(this);
    for (QDateEdit* d : {fromDate_, toDate_}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(u"yyyy-MM-dd"_s);
    }
    for (QTimeEdit* t : {fromTime_, toTime_}) t->setDisplayFormat(u"hh:mm:ss"_s);
    printerOn_ = check(u"打印："_s, "chkPrinter");
    printer_ = new QComboBox(this);
    printer_->setMinimumWidth(90);
    stateOn_ = check(u"状态："_s, "chkState");
    state_ = new QComboBox(this);
    state_->addItems({u"已打印"_s, u"未打印"_s});
    state_->setCurrentIndex(-1);
    type_ = new QComboBox(this);
    type_->setEditable(true);
    type_->addItems(HistoryFilters::typeItems());
    type_->setCurrentText(HistoryFilters::typeAll());
    bill_->setFixedWidth(100);
    table_->setFixedWidth(80);
    bar->addWidget(billOn_);
    bar->addWidget(bill_);
    bar->addWidget(tableOn_);
    bar->addWidget(table_);
    bar->addWidget(timeOn_);
    bar->addWidget(fromDate_);
    bar->addWidget(fromTime_);
    bar->addWidget(new QLabel(u"至"_s, this));
    bar->addWidget(toDate_);
    bar->addWidget(toTime_);
    bar->addWidget(printerOn_);
    bar->addWidget(printer_);
    bar->addWidget(stateOn_);
    bar->addWidget(state_);
    bar->addWidget(new QLabel(u"类型："_s, this));
    bar->addWidget(type_);
    bar->addStretch();
    body->addLayout(bar);

    auto* buttons = new QHBoxLayout;
    auto button = [&](const QString& text, const char* name, void (TFQuery::*slot)()) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
    };
    button(u"查询"_s, "btnQuery", &TFQuery::btnQueryClick);
    button(u"单条打印"_s, "btnPrintOne", &TFQuery::btnPrintOneClick);
    button(u"全部打印"_s, "btnPrintAll", &TFQuery::btnPrintAllClick);
    auto* quit = new QPushButton(u"退出"_s, this);
    quit->setObjectName(u"btnExit"_s);
    connect(quit, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(quit);
    buttons->addStretch();
    body->addLayout(buttons);

    tickets_ = makeGrid(this, u"ticketGrid"_s);
    tickets_->setModel(&query_.tickets());
    dishes_ = makeGrid(this, u"dishGrid"_s);
    dishes_->setModel(&query_.dishes());
    body->addWidget(tickets_, 3);
    body->addWidget(dishes_, 2);
    layout->addLayout(body);
    connect(tickets_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TFQuery::currentChanged);
    // Each new list starts on its first ticket.
    connect(&query_.tickets(), &QAbstractItemModel::modelReset, this, [this] {
        for (int c = TicketListModel::PrintId; c < TicketListModel::ColumnCount; ++c)
            tickets_->setColumnHidden(c, true);
        tickets_->setColumnWidth(TicketListModel::DTime, 150);
        if (query_.tickets().rowCount() > 0)
            tickets_->setCurrentIndex(query_.tickets().index(0, 0));
    });
    FormShow();
}

void TFQuery::FormShow() {
    setFilters(HistoryFilters::starting(QDate::currentDate()));
    if (!query_.open())
        MessageBox::warning(this, u"打印查询"_s, query_.lastError());
    printer_->clear();
    printer_->addItems(query_.printers());
    printer_->setCurrentIndex(-1);
}

HistoryFilters TFQuery::filters() const {
    HistoryFilters f;
    f.billOn = billOn_->isChecked();
    f.bill = bill_->text();
    f.tableOn = tableOn_->isChecked();
    f.table = table_->text();
    f.timeOn = timeOn_->isChecked();
    f.from = QDateTime(fromDate_->date(), fromTime_->time());
    f.to = QDateTime(toDate_->date(), toTime_->time());
    f.printerOn = printerOn_->isChecked();
    f.printer = printer_->currentText();
    f.stateOn = stateOn_->isChecked();
    f.state = state_->currentText();
    f.type = type_->currentText();
    return f;
}

void TFQuery::setFilters(const HistoryFilters& f) {
    billOn_->setChecked(f.billOn);
    bill_->setText(f.bill);
    tableOn_->setChecked(f.tableOn);
    table_->setText(f.table);
    timeOn_->setChecked(f.timeOn);
    fromDate_->setDate(f.from.date());
    fromTime_->setTime(f.from.time());
    toDate_->setDate(f.to.date());
    toTime_->setTime(f.to.time());
    printerOn_->setChecked(f.printerOn);
    printer_->setCurrentIndex(printer_->findText(f.printer));
    stateOn_->setChecked(f.stateOn);
    state_->setCurrentIndex(state_->findText(f.state));
    type_->setCurrentText(f.type);
}

void TFQuery::selectTicket(int row) {
    tickets_->setCurrentIndex(query_.tickets().index(row, 0));
}

void TFQuery::currentChanged() {
    query_.showDishes(tickets_->currentIndex().row());
}

void TFQuery::btnQueryClick() {
    if (!query_.query(filters()))
        MessageBox::warning(this, u"打印查询"_s, query_.lastError());
}

void TFQuery::showLoadMessage(const QString& text) {
    MessageBox::information(this, u"打印查询"_s, text);
}

void TFQuery::btnPrintOneClick() {
    const QString id = query_.tickets().printId(tickets_->currentIndex().row());
    if (id.isEmpty())
        return;
    QueueTicket ticket;
    const ShowMessage message = [this](const QString& text) { showLoadMessage(text); };
    if (query_.prepare(id, report_, message, &ticket) != HistoryQuery::Prepared::Ready)
        return;
    // The ticket's own printer, as queued: a backup chosen for its station since then
    // does not redirect a reprint.
    TFPreView preview(report_.prepare(), ticket.title, ticket.printName, *output_, dialog_, this);
    showPreview_(preview);
}

void TFQuery::btnPrintAllClick() {
    const std::optional<QString> printer = dialog_(this, QString());
    if (!printer)
        return;
    const ShowMessage message = [this](const QString& text) { showLoadMessage(text); };
    query_.printAll(*printer, report_, *output_, message);
}

}  // namespace cookhub
