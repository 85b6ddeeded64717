#include "platform/single_instance.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace Qt::StringLiterals;
using namespace cookhub;

namespace {

TEST(SingleInstance, SecondHolderIsRefusedUntilTheFirstEnds)
{
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    auto first = std::make_unique<SingleInstanceLock>(u"Cookhub.exe"_s);
    ASSERT_TRUE(first->acquire());
    EXPECT_TRUE(first->lockFilePath().startsWith(runtime.path()));

    SingleInstanceLock second(u"Cookhub.exe"_s);
    EXPECT_FALSE(second.acquire());
    SingleInstanceLock other(u"Padlink.exe"_s);
    EXPECT_TRUE(other.acquire());

    first.reset();  // as when the first copy ends or crashes
    EXPECT_TRUE(second.acquire());
    qunsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
