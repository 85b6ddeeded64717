// The cookhub program itself, started as a user starts it: one copy runs on a home
// with the embedded POS database, a second copy is refused.
#include "engine/test_support/pos_database.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

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

    first.terminate();
    if (!first.waitForFinished(10000)) {
        first.kill();
        first.waitForFinished();
    }
}

}  // namespace
