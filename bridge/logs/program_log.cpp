// Program log and traffic log on POSIX files.
#include "logs/program_log.h"

#include "link/result_codes.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace padlink {

std::atomic<bool> trafficLogEnabled{false};

namespace {

std::mutex logPathMutex;
std::filesystem::path logPath;

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// A stored "C:\..." path stays as written; on this system only "/" starts an
// absolute one.
bool isAbsoluteName(std::string_view name) {
    if (!name.empty() && name.front() == '/') {
        return true;
    }
    const std::size_t colon = name.find(':');
    return colon != std::string_view::npos && colon != 0;
}

}  // namespace

std::filesystem::path programFolder() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return std::filesystem::current_path(error);
    }
    return exe.parent_path();
}

void setLogFile(std::string_view name) {
    std::string chosen(name.empty() ? std::string_view("log.log") : name);
    std::filesystem::path path =
        isAbsoluteName(chosen) ? std::filesystem::path(chosen) : programFolder() / chosen;
    const std::lock_guard lock(logPathMutex);
    logPath = std::move(path);
}

std::filesystem::path logFile() {
    {
        const std::lock_guard lock(logPathMutex);
        if (!logPath.empty()) {
            return logPath;
        }
    }
    setLogFile({});
    const std::lock_guard lock(logPathMutex);
    return logPath;
}

std::string formatLogEntry(const std::tm& local, std::string_view category,
                           std::string_view message) {
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "[%2d-%2d %2d:%2d:%2d]", local.tm_mon + 1, local.tm_mday,
                  local.tm_hour, local.tm_min, local.tm_sec);
    std::string entry(stamp);
    if (!category.empty()) {
        entry += '[';
        entry += category;
        entry += ']';
    }
    entry += message;
    return entry;
}

void logEntry(std::string_view category, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::va_list copy;
    va_copy(copy, args);
    const int size = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string message;
    if (size > 0) {
        std::vector<char> text(static_cast<std::size_t>(size) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
        message.assign(text.data(), static_cast<std::size_t>(size));
    }
    va_end(args);

    const std::filesystem::path path = logFile();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        return;
    }
    // The lock is taken on the file itself, so every process that writes this
    // log waits for the others and the kernel drops it with a dead holder.
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    writeAll(fd, "\r\n" + formatLogEntry(local, category, message));
    flock(fd, LOCK_UN);
    ::close(fd);
}

std::filesystem::path trafficLogPath() {
    const char* named = std::getenv("PADLINK_TRAFFIC_LOG");
    if (named != nullptr && *named != '\0') {
        return named;
    }
    return programFolder() / "Log.txt";
}

int appendTrafficLog(std::string_view text) {
    const int fd =
        ::open(trafficLogPath().c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        return kTrafficLogFailed;
    }
    std::string line(text);
    line += "\r\n";
    writeAll(fd, line);
    ::close(fd);
    return kSuccess;
}

}  // namespace padlink
