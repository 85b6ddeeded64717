// Shared pieces of the window and process tests: a demo-like TXT folder, table
// files, the check of a table a simulated handheld received, and a wait that
// pumps the event loop until a condition holds.
#pragma once

#include "app/gbk_text.h"
#include "config/hang_guard.h"
#include "download/table_files.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
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

// Writes a table file (UTF-8 given, GBK with CR LF on disk).
inline void writeTable(const std::filesystem::path& txt, int number, const QString& lines) {
    std::ofstream out(txt / tableFile(number)->fileName, std::ios::binary);
    QString text = lines;
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    out << toGbk(text);
}

inline std::string fileContents(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Every record the handheld took equals the one the file holds.
inline void expectSameRecords(const std::filesystem::path& received, const std::filesystem::path& txt, int number) {
    SCOPED_TRACE(received.filename().string());
    LinkSession session(txt, 1);
    TableChoice scratch{};
    std::atomic<int> scratchCount{0};
    ASSERT_EQ(loadTable(session, number, txt, ManualChoice{scratch, scratchCount}).code, kTableLoaded);
    const auto expected = session.records(number);
    const std::string got = fileContents(received);
    const std::size_t size = tableLayout(number).recordBytes;
    ASSERT_GT(session.recordCount(number), 0u);
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t r = 0; r < session.recordCount(number); ++r) {
        EXPECT_EQ(0, std::memcmp(got.data() + r * size, expected.data() + r * size, size)) << "record " << r;
    }
}

}  // namespace padlink::testing
