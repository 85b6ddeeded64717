// The status monitor against a real SQLite POS file and simulated network printers on
// 127.0.0.1: the station rows it writes, PrintList, the counts and the balloon, and the
// thread's life. The network limits are short so a silent printer costs little.
#include "status/print_state_thread.h"

#include "engine/queue_schema.h"
#include "engine/test_support/pos_database.h"
#include "net_printer_sim.h"
#include "platform/database.h"
#include "platform/sql_dialect.h"

#include <QCoreApplication>
#include <QMutex>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace cookhub {
namespace {

constexpr printing::NetStatusLimits quick{std::chrono::milliseconds(300),
                                          std::chrono::milliseconds(60)};
const QString kNotDetected = u"未检测到打印机，请尽快检查！"_s;

class RecordingBalloon final : public BalloonNotes {
  public:
    void show(const QString& text, int milliseconds) override {
        QMutexLocker lock(&mutex_);
        notes_ << text;
        lastDuration = milliseconds;
    }
    QStringList notes() const {
        QMutexLocker lock(&mutex_);
        return notes_;
    }
    int lastDuration = 0;

  private:
    mutable QMutex mutex_;
    QStringList notes_;
};

struct Row {
    int printyc;
    QString printerzt;
    QString printms;
    bool operator==(const Row&) const = default;
};

void PrintTo(const Row& row, std::ostream* out) {
    *out << row.printyc << " / " << row.printerzt.toStdString() << " / "
         << row.printms.toStdString();
}

const Row kUntouched{7, u"x"_s, u"untouched"_s};
const Row kAnswers{0, u"1"_s, u"0"_s};
const Row kMissing{16, u"0"_s, kNotDetected};

class MonitorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(openConnection(connection, home.connectionString(), home.appDir(), 10));
        db = QSqlDatabase::database(connection);
        QueueSchema(db, SqlDialect::forDatabase(db)).update(false, u"1.0.1.21"_s);
        state.appDir = home.appDir();
        state.setBusinessDayStart(u"2026-12-10 23:30:00"_s);
        token = state.beginRun();
        ASSERT_TRUE(answering.listening());
        ASSERT_TRUE(silent.listening());
        ASSERT_TRUE(refusing.listening());
        silent.setSilent(true);
        refusing.goAway();
    }
    void TearDown() override {
        monitor.reset();
        db = QSqlDatabase();
        closeConnection(connection);
        QSqlDatabase::removeDatabase(connection);
    }

    void station(int id, const QString& printer, const QString& address) {
        ASSERT_TRUE(home.exec(
            u"insert into pos_bt_dish_cookprint (int_id, vch_name, vch_printer1, vch_PrinterIp, vch_printyc, vch_printerzt, vch_printms) values (%1, 'station %1', '%2', '%3', 7, 'x', 'untouched')"_s
                .arg(id)
                .arg(printer, address)));
    }

    Row row(int id) const {
        QSqlQuery q(db);
        q.exec(
            u"select vch_printyc, vch_printerzt, vch_printms from pos_bt_dish_cookprint where int_id = %1"_s
                .arg(id));
        if (!q.next())
            return {};
        return {q.value(0).toInt(), q.value(1).toString(), q.value(2).toString()};
    }

    TPrintStateThread& makeMonitor(const QString& printMode = u"3"_s) {
        monitor = std::make_unique<TPrintStateThread>(
            state, clock, token, connection, MonitorSettings{printMode, 3000, quick}, balloon);
        return *monitor;
    }

    static QString addressOf(const netprinter::NetPrinterSim& printer) {
        return QString::fromStdString(printer.address());
    }

    test::PosHome home{test::PosHome::Content::Schema};
    QString connection = u"monitor-test"_s;
    QSqlDatabase db;
    ManualClock clock{QDateTime(QDate(2026, 12, 11), QTime(12, 0))};
    ServiceState state;
    RunToken token;
    RecordingBalloon balloon;
    netprinter::NetPrinterSim answering, silent, refusing;
    std::unique_ptr<TPrintStateThread> monitor;
};

TEST_F(MonitorTest, StatusPassWritesEachStationByWhetherItsPrinterAnswers) {
    answering.setPaper({false, true, true});  // answers, but out of paper
    station(1, u"hot"_s, addressOf(answering));
    station(2, u"cold"_s, addressOf(refusing));
    station(3, u"bar"_s, addressOf(silent));  // accepts and never answers
    station(4, u"seafood"_s, QString());
    station(5, u"pass"_s, u"kitchen-printer"_s);  // a host name is not looked up
    station(6, u"shared"_s, addressOf(answering));
    station(7, u"shared"_s, addressOf(refusing));

    ASSERT_TRUE(makeMonitor().StatusPass(db));

    EXPECT_EQ(row(1), kAnswers);
    EXPECT_EQ(row(2), kMissing);
    EXPECT_EQ(row(3), kAnswers);
    EXPECT_EQ(row(4), kUntouched) << "an empty address is asked but not written";
    EXPECT_EQ(row(5), kMissing);
    EXPECT_EQ(row(6), kAnswers);
    EXPECT_EQ(row(7), kMissing);

    const std::vector<TPrintList> list = state.printList.snapshot();
    ASSERT_EQ(list.size(), 6u) << "one entry per printer name, in row order";
    struct Expected {
        QString name;
        int fault;
        QString address;
        QString condition;
    };
    const Expected expected[] = {
        {u"hot"_s, 0, addressOf(answering), u"缺纸"_s},
        {u"cold"_s, 1, addressOf(refusing), {}},
        {u"bar"_s, 0, addressOf(silent), {}},
        {u"seafood"_s, 1, {}, {}},
        {u"pass"_s, 1, u"kitchen-printer"_s, {}},
        // The later row's result wins; the address is the first row's.
        {u"shared"_s, 1, addressOf(answering), {}},
    };
    for (size_t i = 0; i < list.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(list[i].PrinterName, expected[i].name);
        EXPECT_EQ(list[i].Fault, expected[i].fault);
        EXPECT_EQ(list[i].Address, expected[i].address);
        EXPECT_EQ(list[i].Condition, expected[i].condition);
    }

    // The printer that was away comes back; the next pass writes it answering.
    ASSERT_TRUE(refusing.comeBack());
    answering.setPaper({});
    ASSERT_TRUE(monitor->StatusPass(db));
    EXPECT_EQ(row(2), kAnswers);
    EXPECT_EQ(row(7), kAnswers);
    EXPECT_EQ(state.printList.snapshot()[1].Fault, 0);
    EXPECT_EQ(state.printList.snapshot()[0].Condition, QString());
    EXPECT_EQ(state.printList.size(), 6u);
}

TEST_F(MonitorTest, NoPassOutsidePrintModesOneAndThreeAndNoneAfterTheRun) {
    station(1, u"hot"_s, addressOf(answering));
    EXPECT_TRUE(makeMonitor(u"2"_s).StatusPass(db));
    EXPECT_EQ(row(1), kUntouched);
    EXPECT_EQ(state.printList.size(), 0u);

    state.beginRun();  // a later Start supersedes this monitor's run
    EXPECT_FALSE(makeMonitor(u"1"_s).StatusPass(db));
    EXPECT_EQ(row(1), kUntouched);
}

TEST_F(MonitorTest, CountsGoToStatusTextAndTheBalloonOnlyWhenWaitingRises) {
    int printId = 0;
    auto ticket = [&](const QString& isPrint, const QString& time) {
        ASSERT_TRUE(home.exec(
            u"insert into Pos_u_PrintDish (PrintId, IsPrint, dTime) values ('%1', '%2', '%3')"_s
                .arg(++printId)
                .arg(isPrint, time)));
    };
    ticket(u"Y"_s, u"2026-12-11 11:00:00"_s);
    ticket(u"Y"_s, u"2026-12-11 11:30:00"_s);
    ticket(u"N"_s, u"2026-12-11 11:40:00"_s);
    ticket(u"N"_s, u"2026-12-10 20:00:00"_s);  // before the business day
    ticket(u"N"_s, u"2026-12-11 12:30:00"_s);  // after now
    ASSERT_TRUE(home.exec(
        u"insert into pos_u_orderdish (ch_dishno, dt_dis_operdate, ch_printflag) values ('1', '2026-12-11 11:50:00', 'N'), ('2', '2026-12-11 11:50:00', 'Y')"_s));
    state.printList.setStatus(u"hot"_s, false, u"纸将尽"_s, u"127.0.0.1:9"_s);

    TPrintStateThread& m = makeMonitor();
    m.CountPass(db);
    EXPECT_EQ(state.statusText(), u" 已打印：2;未打印：2 "_s);
    EXPECT_EQ(state.lastUnprintedCount, 2);
    EXPECT_EQ(balloon.notes(), QStringList{u" 已打印：2;未打印：2  hot：纸将尽"_s});
    EXPECT_EQ(balloon.lastDuration, 3000);

    m.CountPass(db);  // equal: no note
    ASSERT_TRUE(home.exec(
        u"update Pos_u_PrintDish set IsPrint = 'Y' where dTime = '2026-12-11 11:40:00'"_s));
    m.CountPass(db);  // falling: no note
    EXPECT_EQ(state.statusText(), u" 已打印：3;未打印：1 "_s);
    EXPECT_EQ(balloon.notes().size(), 1);

    ticket(u"N"_s, u"2026-12-11 11:55:00"_s);
    ticket(u"S"_s, u"2026-12-11 11:56:00"_s);
    state.printList.clearNames();
    m.CountPass(db);  // rising again
    EXPECT_EQ(balloon.notes().size(), 2);
    EXPECT_EQ(balloon.notes().last(), u" 已打印：3;未打印：3 "_s);
}

TEST_F(MonitorTest, ThreadWaitsThroughTheClockSurvivesErrorsAndStopsWithItsRun) {
    station(1, u"hot"_s, addressOf(answering));
    ASSERT_TRUE(home.exec(u"drop table Pos_u_PrintDish"_s));  // every count fails
    TPrintStateThread& m = makeMonitor();
    m.start();

    auto written = [&] { return row(1) == kAnswers; };
    for (int i = 0; i < 500 && !written(); ++i) QThread::msleep(10);
    ASSERT_TRUE(written());
    EXPECT_GE(clock.sleptMilliseconds(), 10000) << "the first pass comes after the 10 s wait";

    // The failed counts ended only their pass: the monitor goes on writing.
    ASSERT_TRUE(home.exec(u"update pos_bt_dish_cookprint set vch_printyc = 7"_s));
    for (int i = 0; i < 500 && !written(); ++i) QThread::msleep(10);
    EXPECT_TRUE(written());
    EXPECT_TRUE(state.statusText().isEmpty());

    state.stop();
    EXPECT_TRUE(m.wait(5000));
}

}  // namespace
}  // namespace cookhub

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
