// The settings windows' tests run offscreen inside one QApplication, with a desktop
// configuration folder of their own. No test may send a server listing beyond this
// machine: the target is loopback before any test starts, and each listing test points
// it at its own responder.
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("COOKHUB_SSRP_TARGET", "127.0.0.1:9");  // discard: nobody answers
    QApplication app(argc, argv);
    // Nothing a test saves reaches the desktop's own autostart folder.
    const QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
