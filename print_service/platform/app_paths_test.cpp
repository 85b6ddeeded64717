#include "platform/app_paths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace cookhub;

namespace {

TEST(AppPaths, StoredPathsFindFilesAsOnWindows)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(u"Reports/80格式"_s));
    QFile file(dir.path() + u"/Reports/80格式/Print.ini"_s);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QString home = dir.path() + u'/';

    EXPECT_EQ(resolveStoredPath(home, u"reports\\80格式\\print.ini"_s),
              home + u"Reports/80格式/Print.ini"_s);
    // Components that do not exist yet are kept as written, for files still to be made.
    EXPECT_EQ(resolveStoredPath(home, u"REPORTS\\58格式\\Print.ini"_s),
              home + u"Reports/58格式/Print.ini"_s);
    EXPECT_EQ(resolveStoredPath(home, u"\\Reports\\80格式\\print.ini"_s),
              home + u"Reports/80格式/Print.ini"_s)
        << "a leading backslash names no drive: still below the program folder";
    EXPECT_EQ(resolveStoredPath(home, u"/etc/HOSTNAME-none"_s), u"/etc/HOSTNAME-none"_s);
    EXPECT_EQ(resolveStoredPath(home, u"D:\\tickets\\a.rmf"_s), u"D:\\tickets\\a.rmf"_s);
}

TEST(AppPaths, WhatCountsAsAbsolute)
{
    EXPECT_TRUE(isAbsoluteStoredPath(u"C:\\x.rmf"_s));
    EXPECT_TRUE(isAbsoluteStoredPath(u"/srv/x.rmf"_s));
    EXPECT_FALSE(isAbsoluteStoredPath(u"Reports\\80格式\\x.rmf"_s));
    EXPECT_FALSE(isAbsoluteStoredPath(u"\\Reports\\80格式\\x.rmf"_s));
    EXPECT_FALSE(isAbsoluteStoredPath(QString()));
}

TEST(AppPaths, HomeOverrideHasATrailingSlash)
{
    QTemporaryDir dir;
    qputenv("COOKHUB_HOME", QFile::encodeName(dir.path()));
    EXPECT_EQ(applicationFolder(), dir.path() + u'/');
    qunsetenv("COOKHUB_HOME");
}

}  // namespace
