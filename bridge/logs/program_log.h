// The program log "debug.log" beside the executable and the traffic log of
// hexadecimal frame lines. Entries from several processes are serialised by
// an flock on the log file itself, so a crashed writer never leaves the lock
// held. Texts are written as the GBK bytes they are given; nothing here may
// ever truncate, rotate or delete a log.
#pragma once

#include <atomic>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

namespace padlink {

// Folder of the running executable (symbolic links resolved).
std::filesystem::path programFolder();

// An empty name means "log.log"; a relative name is taken beside the
// executable, an absolute one (or one with a drive letter) as written.
void setLogFile(std::string_view name);
std::filesystem::path logFile();

// "[%2d-%2d %2d:%2d:%2d]" of month, day, hour, minute, second, then
// "[category]" when the category is not empty, then the message.
std::string formatLogEntry(const std::tm& local, std::string_view category,
                           std::string_view message);

// Appends CR LF and the entry to the program log; a log that cannot be opened
// loses the entry silently.
void logEntry(std::string_view category, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Switched by the timing file; while it is off no traffic log is opened.
extern std::atomic<bool> trafficLogEnabled;

// PADLINK_TRAFFIC_LOG, else Log.txt beside the executable.
std::filesystem::path trafficLogPath();

// Appends the text and CR LF in a single write so lines of different stations
// interleave whole. 0, or 1010 when the file cannot be opened.
int appendTrafficLog(std::string_view text);

}  // namespace padlink
