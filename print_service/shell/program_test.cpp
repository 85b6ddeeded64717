// The cookhub program itself, started as a user starts it: one copy runs on a home
// with the embedded POS database, a second copy is refused.
#include "engine/test_support/pos_database.h"
#include "platform/ini_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <random>
#include <thread>

#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace Qt::StringLiterals;

namespace {

QProcessEnvironment programEnvironment(const QString& home, const QString& runtime)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"COOKHUB_HOME"_s, home);
    env.insert(u"XDG_RUNTIME_DIR"_s, runtime);
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    env.insert(u"COOKHUB_AUTO_ANSWER"_s, u"ok"_s);
    return env;
}

// True once some process holds an flock on `path` (the kernel's lock table names the
// file by device and inode).
bool fileIsLocked(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    const QString id = u"%1:%2:%3"_s.arg(major(st.st_dev), 2, 16, QLatin1Char('0'))
                           .arg(minor(st.st_dev), 2, 16, QLatin1Char('0'))
                           .arg(st.st_ino);
    QFile locks(u"/proc/locks"_s);
    if (!locks.open(QIODevice::ReadOnly))
        return false;
    const QString table = QString::fromLatin1(locks.readAll());
    for (const QString& line : table.split(u'\n')) {
        if (line.contains(u"FLOCK"_s) && line.contains(u' ' + id + u' '))
            return true;
    }
    return false;
}

bool queueExists(const QString& databaseFile)
{
    const QString name = u"program_test_probe"_s;
    bool exists = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(databaseFile);
        if (db.open()) {
            QSqlQuery q(u"select PrintId from Pos_u_PrintDish"_s, db);
            exists = q.isActive();
            q.finish();
            q = QSqlQuery(u"select vch_value from pos_sys_parameter where vch_parameter='PrintVer'"_s, db);
            exists = exists && q.next() && q.value(0).toString() == u"1.0.1.21"_s;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return exists;
}

int queuedTickets(const QString& databaseFile)
{
    const QString name = u"program_test_count"_s;
    int count = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(databaseFile);
        if (db.open()) {
            QSqlQuery q(u"select count(*) from Pos_u_PrintDish where IsPrint = 'N'"_s, db);
            count = q.next() ? q.value(0).toInt() : -1;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return count;
}

TEST(CookhubProgram, RunsOnceAndRefusesASecondCopy)
{
    cookhub::test::PosHome home;
    QTemporaryDir runtime;
    const QProcessEnvironment env = programEnvironment(home.appDir(), runtime.path());

    QProcess first;
    first.setProcessEnvironment(env);
    first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    first.start(QStringLiteral(COOKHUB_BINARY), {});
    ASSERT_TRUE(first.waitForStarted());

    const QString lockFile = runtime.path() + u"/Cookhub.exe.lock"_s;
    // The first copy takes the lock, connects, and creates the queue when its hidden
    // window's show handling runs.
    QTRY_VERIFY_WITH_TIMEOUT(fileIsLocked(lockFile) && queueExists(home.databaseFile()), 60000);
    EXPECT_EQ(first.state(), QProcess::Running);

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(QStringLiteral(COOKHUB_BINARY), {});
    ASSERT_TRUE(second.waitForFinished(60000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(QString::fromUtf8(second.readAllStandardError())
                    .contains(u"message: 提示: 打印服务已经开始！"_s));
    EXPECT_EQ(first.state(), QProcess::Running) << "the first copy keeps running";
    // Its worker has taken the seed's orders into the queue in the meantime.
    QTRY_VERIFY_WITH_TIMEOUT(queuedTickets(home.databaseFile()) > 0, 30000);
    EXPECT_EQ(first.state(), QProcess::Running);

    first.terminate();
    if (!first.waitForFinished(10000)) {
        first.kill();
        first.waitForFinished();
    }
}

}  // namespace

namespace {

// Order lines keep arriving while the program is killed again and again at random
// moments; after a last, undisturbed run every line is queued exactly once per kind
// and station, and no ticket line is left without its ticket.
TEST(CookhubProgram, KillsAtRandomMomentsLoseAndDoubleNothing)
{
    cookhub::test::PosHome home(cookhub::test::PosHome::Content::Schema);
    ASSERT_TRUE(home.exec(uR"(
        insert into pos_sys_parameter values ('print_mode', '3', '');
        insert into pos_bt_dish_unit values ('01', '份');
        insert into pos_bt_table values ('T1', '一号桌', '01', 4);
        insert into pos_bt_dish (ch_dishno, vch_dishname, ch_dish_typeno, ch_dish_seriesno, ch_dish_unitno)
            values ('D1', '宫保鸡丁', '01', '01', '01'), ('D2', '拍黄瓜', '02', '01', '01');
        insert into pos_bt_dish_cookprint (int_id, vch_name, cookprint_type, int_printer, vch_printer1)
            values (1, '热菜', 1, 1, 'hot'), (2, '传菜', 3, 1, 'pass');
        insert into pos_cp_dish_print (ch_dishno, ch_printflag, int_print_id, ch_outflag, int_outprint_id1)
            values ('D1', 'Y', 1, 'Y', 2), ('D2', 'Y', 1, 'Y', 2);
    )"_s));
    QDir().mkpath(home.appDir() + u"Reports"_s);
    cookhub::WriteIniString(home.appDir() + u"Reports/Print.ini"_s, u"PrintParam"_s,
                            u"cd_stakeout_refresh"_s, u"1"_s);
    QTemporaryDir runtime;
    const QProcessEnvironment env = programEnvironment(home.appDir(), runtime.path());

    std::atomic<bool> feeding{true};
    std::atomic<int> lines{0};
    std::thread feeder([&] {
        sqlite3* db = nullptr;
        sqlite3_open(QFile::encodeName(home.databaseFile()).constData(), &db);
        sqlite3_busy_timeout(db, 5000);
        while (feeding) {
            const int n = lines.load();
            const QByteArray sql =
                u"insert into pos_u_orderdish (ch_billno, ch_tableno, ch_dishno, num_num, num_price, "
                "vch_print_memo, dt_operdate, dt_dis_operdate, vch_operid, ch_printflag, ch_outflag1) "
                "values ('B%1', 'T1', 'D%2', 1, 10, 'L%3', datetime('now','localtime'), "
                "datetime('now','localtime'), '1', 'N', 'N')"_s.arg(n / 7).arg(n % 2 + 1).arg(n)
                    .toUtf8();
            if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK)
                ++lines;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        sqlite3_close(db);
    });

    std::mt19937 random(20261211);
    for (int round = 0; round < 8; ++round) {
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(COOKHUB_BINARY), {});
        ASSERT_TRUE(program.waitForStarted());
        QTest::qWait(std::uniform_int_distribution<int>(3500, 8000)(random));
        program.kill();  // SIGKILL
        program.waitForFinished();
    }
    feeding = false;
    feeder.join();
    ASSERT_GT(lines.load(), 200);

    auto count = [&](const QString& sql) {
        sqlite3* db = nullptr;
        sqlite3_open(QFile::encodeName(home.databaseFile()).constData(), &db);
        sqlite3_busy_timeout(db, 5000);
        sqlite3_stmt* statement = nullptr;
        int result = -1;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW)
            result = sqlite3_column_int(statement, 0);
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return result;
    };

    QProcess last;
    last.setProcessEnvironment(env);
    last.start(QStringLiteral(COOKHUB_BINARY), {});
    ASSERT_TRUE(last.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(
        count(u"select count(*) from pos_u_orderdish where ch_printflag <> 'Y' or ch_outflag1 <> 'Y'"_s),
        0, 90000);
    EXPECT_EQ(last.state(), QProcess::Running) << "the undisturbed run must not crash";
    last.terminate();
    last.waitForFinished(10000);

    const int total = lines.load();
    // Every line once on an order ticket of station 1 and once on an output ticket of
    // station 2, nothing more.
    const QString perLine =
        u"select count(*) from (select c.vch_print_memo, h.vch_Name, h.Title, count(*) as n "
        "from Pos_u_PrintDishChild c join Pos_u_PrintDish h on h.PrintId = c.ParentId "
        "group by c.vch_print_memo, h.vch_Name, h.Title) where n %1"_s;
    EXPECT_EQ(count(perLine.arg(u"= 1"_s)), 2 * total);
    EXPECT_EQ(count(perLine.arg(u"> 1"_s)), 0);
    EXPECT_EQ(count(u"select count(*) from Pos_u_PrintDishChild c join Pos_u_PrintDish h on h.PrintId = c.ParentId where (h.vch_Name = '热菜' and h.Title = '点菜单') or (h.vch_Name = '传菜' and h.Title = '出品单')"_s),
              2 * total);
    EXPECT_EQ(count(u"select count(*) from Pos_u_PrintDishChild where ParentId not in (select PrintId from Pos_u_PrintDish)"_s), 0);
    EXPECT_EQ(count(u"select count(*) from Pos_u_PrintDish where IsPrint is null or IsPrint <> 'N'"_s), 0);
}

}  // namespace
