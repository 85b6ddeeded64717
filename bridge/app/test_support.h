// Shared pieces of the window and process tests: a demo-like TXT folder and a
// wait that pumps the event loop until a condition holds.
#pragma once

#include "app/gbk_text.h"

#include <QCoreApplication>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

namespace padlink::testing {

// Writes the three configuration files (UTF-8 given, GBK on disk, CR LF).
inline void writeTxtFolder(const std::filesystem::path& base, const std::string& timing,
                           const std::string& stations, const std::string& handhelds) {
    const auto folder = base / "TXT";
    std::filesystem::create_directories(folder);
    auto write = [&](const char* name, const std::string& utf8) {
        std::ofstream out(folder / name, std::ios::binary);
        out << toGbk(QString::fromStdString(utf8));
    };
    write("系统时间.txt", timing);
    write("基站.txt", stations);
    write("点菜机.txt", handhelds);
}

// Pumps events until the condition holds; false after the time-out.
inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace padlink::testing
