// The cookhub program itself, started as a user starts it: one copy runs on a home
// with the embedded POS database, a second copy is refused.
#include "engine/test_support/pos_database.h"
#include "engine/test_support/thread_guard.h"
#include "platform/ini_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <map>
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

// The file names a printer directory holds, and the memo of every dish line its
// papers carry ("备注: L12"), counted.
std::map<QString, int> printedMemos(const QString& printerDir) {
    std::map<QString, int> memos;
    static const QRegularExpression memo(u"备注: (L\\d+)"_s);
    const QDir dir(printerDir);
    for (const QString& name : dir.entryList({u"*.txt"_s}, QDir::Files)) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromUtf8(file.readAll());
        for (auto match = memo.globalMatch(text); match.hasNext();)
            ++memos[match.next().captured(1)];
    }
    return memos;
}

// Order lines keep arriving while the program is killed again and again: at random
// moments, inside a ticket's commit and between printing a ticket and marking it
// printed (crash points switched on by the environment), some runs with Start
// pressed again and again while running. After a last, undisturbed run every line
// is queued exactly once per kind and station, printed at least once, and printed
// twice only where a kill fell between paper and mark.
TEST(CookhubProgram, KillsLoseAndDoubleNothing) {
    cookhub::test::PosHome home(cookhub::test::PosHome::Content::Schema);
    // D3 has a second routing row, to a later station: the first station takes it.
    ASSERT_TRUE(
        home.exec(uR"(
        insert into pos_sys_parameter values ('print_mode', '3', '');
        insert into pos_bt_dish_unit values ('01', '份');
        insert into pos_bt_table values ('T1', '一号桌', '01', 4);
        insert into pos_bt_dish (ch_dishno, vch_dishname, ch_dish_typeno, ch_dish_seriesno, ch_dish_unitno)
            values ('D1', '宫保鸡丁', '01', '01', '01'), ('D2', '拍黄瓜', '02', '01', '01'),
                   ('D3', '水煮鱼', '01', '02', '01');
        alter table pos_bt_dish_cookprint add sPath varchar(255) null;
        insert into pos_bt_dish_cookprint (int_id, vch_name, cookprint_type, int_printer, vch_printer1, sPath)
            values (1, '热菜', 1, 1, 'hot', '[80格式]'), (2, '传菜', 3, 1, 'pass', '[80格式]'),
                   (3, '凉菜', 4, 1, 'cold', '[80格式]');
        insert into pos_cp_dish_print (ch_dishno, ch_printflag, int_print_id, ch_outflag, int_outprint_id1)
            values ('D1', 'Y', 1, 'Y', 2), ('D2', 'Y', 1, 'Y', 2), ('D3', 'Y', 1, 'Y', 2),
                   ('D3', 'Y', 3, 'N', NULL);
    )"_s));
    // Its own templates and print settings, and file printers.
    const QString reports =
        QFileInfo(QStringLiteral(COOKHUB_BINARY)).dir().filePath(u"Reports/80格式"_s);
    const QString format = home.appDir() + u"Reports/80格式/"_s;
    QDir().mkpath(format);
    for (const QString& name : QDir(reports).entryList(QDir::Files))
        QFile::copy(reports + u'/' + name, format + name);
    for (const auto& [key, value] :
         {std::pair{u"cd_stakeout_refresh"_s, u"1"_s}, std::pair{u"em_notprint_time"_s, u"120"_s},
          std::pair{u"WriteLog"_s, u"0"_s}, std::pair{u"ZqdPrint"_s, u"1"_s},
          std::pair{u"JqdPrint"_s, u"1"_s}, std::pair{u"ZqcpdPrint"_s, u"1"_s},
          std::pair{u"JqcpdPrint"_s, u"1"_s}})
        cookhub::WriteIniString(home.appDir() + u"Reports/Print.ini"_s, u"PrintParam"_s, key,
                                value);
    QTemporaryDir runtime, printers;
    QProcessEnvironment env = programEnvironment(home.appDir(), runtime.path());
    env.insert(u"COOKHUB_PRINTER_DIR"_s, printers.path());

    std::atomic<bool> feeding{true};
    std::atomic<int> lines{0};
    std::thread feeder([&] {
        sqlite3* db = nullptr;
        sqlite3_open(QFile::encodeName(home.databaseFile()).constData(), &db);
        sqlite3_busy_timeout(db, 5000);
        while (feeding) {
            const int n = lines.load();
            const QByteArray sql =
                u"insert into pos_u_orderdish (ch_billno, ch_tableno, ch_dishno, num_num, "
                u"num_price, "
                "vch_print_memo, dt_operdate, dt_dis_operdate, vch_operid, ch_printflag, "
                "ch_outflag1) "
                "values ('B%1', 'T1', 'D%2', 1, 10, 'L%3', datetime('now','localtime'), "
                "datetime('now','localtime'), '1', 'N', 'N')"_s.arg(n / 7)
                    .arg(n % 3 + 1)
                    .arg(n)
                    .toUtf8();
            if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK)
                ++lines;
            // Every line becomes paper at two printers: a few a second keep the run short.
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
        }
        sqlite3_close(db);
    });
    const cookhub::test::JoinGuard stopFeeding(feeder, [&] { feeding = false; });

    std::mt19937 random(20261211);
    int kills = 0;
    std::map<QString, int> crashed;  // crash point: runs that died there themselves
    for (int round = 0; round < 9; ++round) {
        QProcessEnvironment roundEnv = env;
        QString point;
        if (round % 3 == 0)
            point = u"written:%1"_s.arg(std::uniform_int_distribution<int>(1, 12)(random));
        else if (round % 3 == 1)
            point = u"printed:%1"_s.arg(std::uniform_int_distribution<int>(1, 4)(random));
        if (!point.isEmpty())
            roundEnv.insert(u"COOKHUB_CRASH_POINT"_s, point);
        if (round % 2 == 1)
            roundEnv.insert(u"COOKHUB_START_EVERY_MS"_s, u"5000"_s);
        QProcess program;
        program.setProcessEnvironment(roundEnv);
        program.start(QStringLiteral(COOKHUB_BINARY), {});
        ASSERT_TRUE(program.waitForStarted());
        const int wait =
            point.isEmpty() ? std::uniform_int_distribution<int>(3500, 8000)(random) : 12000;
        if (program.waitForFinished(wait)) {
            ASSERT_FALSE(point.isEmpty()) << "only a crash point ends a run early";
            ++crashed[point.section(u':', 0, 0)];
        } else {
            program.kill();  // SIGKILL
            program.waitForFinished();
        }
        ++kills;
    }
    feeding = false;
    feeder.join();
    ASSERT_GT(lines.load(), 100);
    EXPECT_GT(crashed[u"written"_s], 0) << "a kill must have landed inside a commit";
    EXPECT_GT(crashed[u"printed"_s], 0) << "a kill must have landed between paper and mark";

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
    const cookhub::test::ScopeExit endLast([&] {
        if (last.state() != QProcess::NotRunning) {
            last.kill();
            last.waitForFinished();
        }
    });
    last.setProcessEnvironment(env);
    last.start(QStringLiteral(COOKHUB_BINARY), {});
    ASSERT_TRUE(last.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(
        count(u"select (select count(*) from pos_u_orderdish where ch_printflag <> 'Y' or "
              u"ch_outflag1 <> 'Y') + "
              "(select count(*) from Pos_u_PrintDish where IsPrint is null or IsPrint <> 'Y')"_s),
        0, 90000);
    EXPECT_EQ(last.state(), QProcess::Running) << "the undisturbed run must not crash";
    last.terminate();
    last.waitForFinished(10000);

    const int total = lines.load();
    // Every line once on an order ticket of station 1 and once on an output ticket of
    // station 2, nothing more, and no line without its ticket.
    const QString perLine =
        u"select count(*) from (select c.vch_print_memo, h.vch_Name, h.Title, count(*) as n "
        "from Pos_u_PrintDishChild c join Pos_u_PrintDish h on h.PrintId = c.ParentId "
        "group by c.vch_print_memo, h.vch_Name, h.Title) where n %1"_s;
    EXPECT_EQ(count(perLine.arg(u"= 1"_s)), 2 * total);
    EXPECT_EQ(count(perLine.arg(u"> 1"_s)), 0);
    EXPECT_EQ(count(u"select count(*) from Pos_u_PrintDishChild c join Pos_u_PrintDish h on h.PrintId = c.ParentId where (h.vch_Name = '热菜' and h.Title = '点菜单') or (h.vch_Name = '传菜' and h.Title = '出品单')"_s),
              2 * total);
    EXPECT_EQ(count(u"select count(*) from Pos_u_PrintDishChild where ParentId not in (select PrintId from Pos_u_PrintDish)"_s), 0);

    // On paper: every line at both printers; a line on paper twice only for a kill
    // that fell between printing and marking (at most one ticket per kill).
    int extra = 0;
    for (const QString& printer : {u"hot"_s, u"pass"_s}) {
        const std::map<QString, int> memos = printedMemos(printers.path() + u'/' + printer);
        EXPECT_EQ(static_cast<int>(memos.size()), total) << printer.toStdString();
        for (const auto& [memo, copies] : memos) extra += copies - 1;
    }
    EXPECT_FALSE(QDir(printers.path() + u"/cold"_s).exists()) << "the later station got nothing";
    // A ticket of station 2 carries several lines: a reprint repeats each of them.
    EXPECT_LE(extra, kills * 7);
}

}  // namespace
