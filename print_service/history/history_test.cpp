#include "engine/test_support/engine_fixture.h"
#include "history/history_strip.h"
#include "history/tfpreview.h"
#include "history/tfquery.h"
#include "platform/clock.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace cookhub;
using namespace cookhub::test;

namespace {

struct Row {
    QString bill;
    QString title = u"点菜单"_s;
    QString tableNo = u"A01|大厅1号"_s;
    QString printName = u"hot"_s;
    QString isPrint = u"Y"_s;
    QString sPath = u"[80格式]"_s;
    QString dTime = u"2026-12-11 11:00:00"_s;
    QStringList dishes = {u"宫保鸡丁"_s};
};

class HistoryTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        qputenv("COOKHUB_PRINTER_DIR", QFile::encodeName(printers.path()));
        const QString from = QStringLiteral(COOKHUB_REPORTS_SOURCE_DIR) + u"/80格式"_s;
        const QString to = home.appDir() + u"Reports/80格式"_s;
        QDir().mkpath(to);
        for (const QString& name : QDir(from).entryList(QDir::Files))
            QFile::copy(from + u'/' + name, to + u'/' + name);
    }
    void TearDown() override {
        window.reset();
        qunsetenv("COOKHUB_PRINTER_DIR");
        EngineTest::TearDown();
    }

    QString queue(const Row& r) {
        const QString id = u"{H-%1}"_s.arg(++serial_, 4, 10, QLatin1Char('0'));
        auto text = [](const QString& v) { return v.isEmpty() ? u"NULL"_s : u"'"_s + v + u"'"_s; };
        EXPECT_TRUE(sql(
            u"insert into Pos_u_PrintDish (PrintId, OrderId, PrintTime, PrintName, TableNo, Title, BillNo, sPath, dTime, AllMoney, InMoney, IsPrint, vch_operator, vch_Name) values ('%1', %2, '%3', '%4', '%5', '%6', '%7', %8, '%3', 58, 40, '%9', '小王', '热菜')"_s
                .arg(id)
                .arg(serial_)
                .arg(r.dTime, r.printName, r.tableNo, r.title,
                     QString(r.bill).replace(u"'"_s, u"''"_s), text(r.sPath), r.isPrint)));
        for (const QString& dish : r.dishes)
            EXPECT_TRUE(sql(
                u"insert into Pos_u_PrintDishChild (ParentId, ch_dishno, DishName, DishUnit, Nums, num_price) values ('%1', 'D', '%2', '份', 1, 10)"_s
                    .arg(id, dish)));
        return id;
    }

    void open() {
        window = std::make_unique<TFQuery>(db, home.appDir());
        window->setPrintDialog([this](QWidget*, const QString& preset) -> std::optional<QString> {
            offered << preset;
            return preset.isEmpty() ? u"picked"_s : preset;
        });
    }

    // The bill numbers of the list, every row read.
    QStringList listed() {
        TicketListModel& m = window->history().tickets();
        while (m.canFetchMore()) m.fetchMore();
        QStringList bills;
        for (int r = 0; r < m.rowCount(); ++r)
            bills << m.data(m.index(r, TicketListModel::BillNo)).toString();
        return bills;
    }

    // What a file printer received, in print order.
    QStringList printed(const QString& printer) {
        QStringList texts;
        const QDir dir(printers.path() + u'/' + printer);
        for (const QString& name : dir.entryList({u"*.txt"_s}, QDir::Files, QDir::Name)) {
            QFile f(dir.filePath(name));
            f.open(QIODevice::ReadOnly);
            texts << QString::fromUtf8(f.readAll());
        }
        return texts;
    }

    // Every column of both queue tables, to show that a reprint changes none.
    QStringList queueContents() {
        QStringList rows;
        for (const QString& table : {u"Pos_u_PrintDish"_s, u"Pos_u_PrintDishChild"_s}) {
            QSqlQuery q(db);
            EXPECT_TRUE(q.exec(u"select * from "_s + table + u" order by PrintId"_s));
            while (q.next()) {
                QStringList values;
                for (int c = 0; c < q.record().count(); ++c) values << q.value(c).toString();
                rows << values.join(u'|');
            }
        }
        return rows;
    }

    QTemporaryDir printers;
    std::unique_ptr<TFQuery> window;
    QStringList offered;
    int serial_ = 0;
};

TEST_F(HistoryTest, OpensNewestFirstWithTheFirstTicketsDishes) {
    queue({.bill = u"B1"_s, .isPrint = u"N"_s, .dishes = {u"鱼香肉丝"_s}});
    queue({.bill = u"B2"_s, .isPrint = u"S"_s});
    queue({.bill = u"B3"_s, .printName = u"cold"_s, .dishes = {u"凉拌黄瓜"_s, u"拍黄瓜"_s}});
    open();
    EXPECT_EQ(listed(), (QStringList{u"B3"_s, u"B2"_s, u"B1"_s}));
    TicketListModel& m = window->history().tickets();
    EXPECT_EQ(m.headerData(TicketListModel::IsPrint, Qt::Horizontal).toString(), u"状态"_s);
    QStringList states;
    for (int r = 0; r < 3; ++r) states << m.data(m.index(r, TicketListModel::IsPrint)).toString();
    EXPECT_EQ(states, (QStringList{u"已打印"_s, u"已发送"_s, u"未打印"_s}));
    EXPECT_EQ(m.data(m.index(0, TicketListModel::Nums)).toInt(), 2);

    QSqlQueryModel& dishes = window->history().dishes();
    ASSERT_EQ(dishes.rowCount(), 2);
    EXPECT_EQ(dishes.headerData(1, Qt::Horizontal).toString(), u"菜品名称"_s);
    EXPECT_EQ(dishes.data(dishes.index(0, 1)).toString(), u"凉拌黄瓜"_s);
    window->selectTicket(2);
    ASSERT_EQ(dishes.rowCount(), 1);
    EXPECT_EQ(dishes.data(dishes.index(0, 1)).toString(), u"鱼香肉丝"_s);
    EXPECT_TRUE(window->history().printers().contains(u"cold"_s));
}

// Each filter gives the rows, in the order, of the condition written into the
// statement as typed; a quote in a filter finds what it says.
TEST_F(HistoryTest, FiltersMatchTheConditionAndTakeQuotesLiterally) {
    queue({.bill = u"B1"_s, .title = u"出品单"_s, .dTime = u"2026-12-10 10:00:00"_s});
    queue({.bill = u"B2"_s,
           .title = u"叫起出品单"_s,
           .tableNo = u"A02|大厅2号"_s,
           .isPrint = u"N"_s});
    queue({.bill = u"B3"_s, .title = u"即起出品单"_s, .printName = u"cold"_s});
    queue({.bill = u"B3"_s, .title = u"点菜单"_s, .tableNo = u"A02|大厅2号"_s, .isPrint = u"S"_s});
    queue({.bill = u"O'B4"_s, .title = u"退菜单"_s});
    open();

    struct Case {
        const char* name;
        HistoryFilters filters;
        QString condition;  // as typed into the statement; empty when it cannot be
        QStringList expected;
    };
    HistoryFilters base = HistoryFilters::starting(QDate(2026, 12, 11));
    auto with = [&](auto change) {
        HistoryFilters f = base;
        change(f);
        return f;
    };
    const QList<Case> cases = {
        {"type contains",
         with([](auto& f) { f.type = u"出品单"_s; }),
         u" and  Title like '%出品单%'"_s,
         {u"B3"_s, u"B2"_s, u"B1"_s}},
        {"all types", base, QString(), {u"O'B4"_s, u"B3"_s, u"B3"_s, u"B2"_s, u"B1"_s}},
        {"bill and state",
         with([](auto& f) {
             f.billOn = true;
             f.bill = u" B3 "_s.trimmed();
             f.stateOn = true;
             f.state = u"未打印"_s;
         }),
         u" and  BillNo Like '%B3%' and  IsPrint<>'Y'"_s,
         {u"B3"_s}},
        {"table, printer",
         with([](auto& f) {
             f.tableOn = true;
             f.table = u"大厅2"_s;
             f.printerOn = true;
             f.printer = u"ho"_s;
         }),
         u" and  TableNo Like '%大厅2%' and  PrintName Like '%ho%'"_s,
         {u"B3"_s, u"B2"_s}},
        {"time",
         with([](auto& f) { f.timeOn = true; }),
         u" and  (dTime>= '2026-12-11 01:01:01' and dTime<='2026-12-11 23:59:59' )"_s,
         {u"O'B4"_s, u"B3"_s, u"B3"_s, u"B2"_s}},
        {"blank bill text is no filter",
         with([](auto& f) {
             f.billOn = true;
             f.bill = u"  "_s;
         }),
         QString(),
         {u"O'B4"_s, u"B3"_s, u"B3"_s, u"B2"_s, u"B1"_s}},
        {"a quote",
         with([](auto& f) {
             f.billOn = true;
             f.bill = u"O'B"_s;
         }),
         QString(),
         {u"O'B4"_s}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(window->history().query(c.filters))
            << c.name << window->history().lastError().toStdString();
        EXPECT_EQ(listed(), c.expected) << c.name;
        if (c.condition.isEmpty())
            continue;
        QSqlQuery design(db);
        ASSERT_TRUE(design.exec(
            u" select a.*,b.Nums from  Pos_u_PrintDish a  left join (select Count(*) as Nums,ParentId from Pos_u_PrintDishChild  group by ParentId) b on a.PrintId=b.ParentId where BillNo<>'' "_s +
            c.condition + u"order by OrderId desc "_s))
            << c.name;
        QStringList rows;
        while (design.next()) rows << design.value(u"BillNo"_s).toString();
        EXPECT_EQ(rows, c.expected) << c.name;
    }

    // Through the window: the bar's values reach the query.
    window->setFilters(with([](auto& f) {
        f.billOn = true;
        f.bill = u"'"_s;
    }));
    window->btnQueryClick();
    EXPECT_EQ(listed(), QStringList{u"O'B4"_s});
    EXPECT_EQ(window->history().dishes().rowCount(), 1);
}

TEST_F(HistoryTest, PrintAllPrintsEveryListedTicketOnceInListOrder) {
    for (int i = 1; i <= 10; ++i) {
        Row r{.bill = u"BILL%1"_s.arg(i, 2, 10, QLatin1Char('0'))};
        if (i == 3)
            r.dishes.clear();
        if (i == 6)
            r.sPath.clear();
        if (i == 8)
            r.sPath = u"[99格式]"_s;
        queue(r);
    }
    open();
    window->selectTicket(4);
    const QStringList before = queueContents();
    window->btnPrintAllClick();

    const QStringList papers = printed(u"picked"_s);
    QStringList bills;
    for (const QString& paper : papers) {
        for (int i = 10; i >= 1; --i) {
            if (paper.contains(u"BILL%1"_s.arg(i, 2, 10, QLatin1Char('0'))))
                bills << QString::number(i);
        }
    }
    EXPECT_EQ(bills, (QStringList{u"10"_s, u"9"_s, u"7"_s, u"5"_s, u"4"_s, u"2"_s, u"1"_s}))
        << "without lines (3), template folder (6) or template (8) skipped";
    EXPECT_EQ(papers.size(), 7);
    EXPECT_TRUE(printed(u"hot"_s).isEmpty());
    EXPECT_EQ(offered, QStringList{QString()});
    EXPECT_EQ(queueContents(), before);
}

// A reprint goes to the ticket's own printer even with a backup chosen for its
// station, shows the table name without the sub-table suffix, and changes nothing.
TEST_F(HistoryTest, PrintOneGoesThroughThePreviewToPrintNameAndChangesNothing) {
    state.printList.setFault(u"hot"_s, true);
    state.printList.setBackup(0, u"hot"_s, u"spare"_s, 1);
    ASSERT_TRUE(sql(
        u"insert into pos_u_table_temp (ch_billno, ch_tableno, ch_tempID) values ('B7', 'A01', '2')"_s));
    queue({.bill = u"B7"_s, .isPrint = u"N"_s, .dishes = {u"水煮鱼"_s, u"米饭"_s}});
    queue({.bill = u"B8"_s});
    open();
    window->selectTicket(1);
    const QStringList before = queueContents();
    QString shown;
    window->setPreviewShower([&](TFPreView& preview) {
        shown = preview.shownText();
        preview.btnPrintClick();
    });
    window->btnPrintOneClick();

    EXPECT_TRUE(shown.contains(u"水煮鱼"_s) && shown.contains(u"B7"_s)) << shown.toStdString();
    EXPECT_FALSE(shown.contains(u"大厅1号_2"_s));
    EXPECT_EQ(offered, QStringList{u"hot"_s});
    const QStringList papers = printed(u"hot"_s);
    ASSERT_EQ(papers.size(), 1);
    EXPECT_TRUE(papers[0].contains(u"米饭"_s));
    EXPECT_FALSE(QDir(printers.path() + u"/spare"_s).exists());
    EXPECT_EQ(queueContents(), before);
}

TEST_F(HistoryTest, DoubleClickOnTheTitleStripTogglesMaximised) {
    open();
    window->show();
    QWidget* strip = window->findChild<HistoryStrip*>();
    ASSERT_NE(strip, nullptr);
    QTest::mouseDClick(strip, Qt::LeftButton, {}, QPoint(40, 10));
    EXPECT_TRUE(window->isMaximized());
    QTest::mouseDClick(strip, Qt::LeftButton, {}, QPoint(40, 10));
    EXPECT_FALSE(window->isMaximized());
}

}  // namespace
