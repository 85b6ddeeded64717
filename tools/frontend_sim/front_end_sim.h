// A POS front end for the bridge to talk to: it listens as a window under
// its title, and for every notice reads the station's request line file and
// writes the station's answer file from a script of answers per notice name
// (or a default answer per kind), all before the notice returns, as the real
// front end must. It records what it saw. It fails on purpose when told to:
// a front end that never returns from a notice, one that dies while handling
// it. It must never write an exchange file for a notice it does not know.
#pragma once

#include <sys/types.h>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace padlink {
class WindowServer;
struct WindowMessage;
}  // namespace padlink

namespace frontend {

enum class Failure {
    none,
    neverReturns,       // the notice is held until stop()
    diesWhileHandling,  // the process ends after reading the request line
};

struct Notice {
    std::uint32_t station = 0;
    std::string name;
    std::string requestLine;  // the request line file as read, CR LF kept
    bool answered = false;    // an answer file was written
};

// "NAME=answer" per line; "|" in the answer separates the answer file's
// lines; blank lines and lines starting with "#" are skipped. Nothing when
// the file cannot be read or a line has no "=".
std::optional<std::map<std::string, std::string>> readScript(const std::filesystem::path& file);

// The answer the simulator gives a notice nobody scripted (a sound "0" of
// its kind); empty for a name that is no request.
std::string defaultAnswer(std::string_view notice);

class FrontEndSim {
  public:
    // `exchangeFolder` holds TX<n>.txt and RX<n>.txt.
    FrontEndSim(std::string title, std::filesystem::path exchangeFolder);
    ~FrontEndSim();
    FrontEndSim(const FrontEndSim&) = delete;
    FrontEndSim& operator=(const FrontEndSim&) = delete;

    // Before start(); "|" separates the answer file's lines.
    void setAnswer(const std::string& notice, std::string answer);
    void setFailure(Failure failure) { failure_ = failure; }
    void setObserver(std::function<void(const Notice&)> observer) {
        observer_ = std::move(observer);
    }
    // Answers a request nobody scripted before the default answer does;
    // nullopt leaves it to the default. "|" separates the answer file's lines.
    using Responder = std::function<std::optional<std::string>(const Notice&)>;
    void setResponder(Responder responder) { responder_ = std::move(responder); }

    // Opens the window; false when the socket could not be made.
    bool start();
    // Closes the window and releases a held notice.
    void stop();

    std::vector<Notice> notices() const;
    bool waitForNotices(std::size_t count, std::chrono::milliseconds timeout) const;

  private:
    std::uint32_t handle(const padlink::WindowMessage& message);

    std::string title_;
    std::filesystem::path folder_;
    std::map<std::string, std::string> answers_;
    Failure failure_ = Failure::none;
    std::function<void(const Notice&)> observer_;
    Responder responder_;
    std::unique_ptr<padlink::WindowServer> window_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<Notice> notices_;
    bool stopping_ = false;
};

// Sends the bridge a notice such as "XS" (show) or "TC" (end); false when the
// bridge's window is not there.
bool sendToBridge(std::string_view notice, std::string_view bridgeTitle = "Padlink");

// Starts the bridge program in `home` (its TXT folder is under it) with the
// front end's title as its command line; -1 on failure.
pid_t startBridge(const std::filesystem::path& program, const std::string& title,
                  const std::filesystem::path& home);

}  // namespace frontend
