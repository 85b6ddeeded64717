// Test main of the window and process tests: the offscreen platform, message
// boxes answered without a person, and private IPC, runtime and temporary
// folders for this process so test processes can run side by side.
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("PADLINK_AUTO_ANSWER", "ok", 1);
    std::string pattern = (std::filesystem::temp_directory_path() / "padlink-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        return 2;
    }
    const std::filesystem::path own(pattern);
    for (const char* sub : {"ipc", "run", "tmp"}) {
        std::filesystem::create_directories(own / sub);
        std::filesystem::permissions(own / sub, std::filesystem::perms::owner_all);
    }
    setenv("PADLINK_IPC_DIR", (own / "ipc").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (own / "run").c_str(), 1);
    setenv("TMPDIR", (own / "tmp").c_str(), 1);
    setenv("PADLINK_TRAFFIC_LOG", (own / "Log.txt").c_str(), 1);

    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(own, ignored);
    return result;
}
