// Exchange files and notices.
#include "commands/exchange.h"

#include "config/text_file.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace padlink {

namespace {

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

int writeRequestLine(const LinkSession& session, std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size() + 64);
    for (char c : text) {
        if (c == '\n') {
            bytes += '\r';
        }
        bytes += c;
    }
    // Written over the old line and then cut to length, not truncated first:
    // on ext4 a file truncated to zero and rewritten is flushed on close,
    // which alone costs more than the rest of the request. The file the front
    // end reads after the notice is the same.
    const int fd = ::open(session.requestFile().c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return kRequestLineFailed;
    }
    const bool written = writeAll(fd, bytes) &&
                         ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
    ::close(fd);
    // Opened but not written: the caller must not hand the front end a line
    // that is not all there.
    return written ? kSuccess : kRequestLineFailed;
}

std::string readAnswerText(const LinkSession& session) {
    std::string text;
    const auto lines = readTextLines(session.answerFile());
    if (!lines) {
        return text;
    }
    for (const std::string& line : *lines) {
        if (line.empty()) {
            continue;
        }
        if (!text.empty()) {
            text += '|';
        }
        text += line;
    }
    return text;
}

void notifyFrontEnd(const std::optional<WindowHandle>& window, std::uint32_t stationId,
                    std::string_view notice) {
    if (!window) {
        return;
    }
    // The result the window writes back means nothing to the bridge, and an
    // unreachable window is the same as a missing one: the answer file is
    // read either way.
    (void)sendCopyData(*window, stationId, notice);
}

}  // namespace padlink
