// The whole installation in a private folder, for the end-to-end test and the
// order-to-ticket benchmark: Cookhub's home with the demo's POS file, the
// table files exported from it, Padlink's TXT folder for one base station,
// and the programs started with their output in log files. The environment
// points every lock, window socket and printer into the folder; the only
// network address anything talks to is 127.0.0.1.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace installation {

namespace fs = std::filesystem;

// A program with its output in a log file; ended by SIGTERM (SIGKILL when it
// does not go within five seconds), and by its parent's end.
class Program {
  public:
    Program(const std::vector<std::string>& argv, const fs::path& cwd, const fs::path& log);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    bool started() const { return pid_ > 0; }
    bool running() const;

  private:
    pid_t pid_ = -1;
};

// A temporary folder, removed at the end unless KEEP_TEST_FOLDER is set.
class Folder {
  public:
    Folder();
    ~Folder();
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

struct Paths {
    fs::path root;
    fs::path home;      // Cookhub's, with pos.db and Reports/
    fs::path padlink;   // Padlink's working folder
    fs::path txt;       // its TXT folder, with the exported table files
    fs::path printers;  // COOKHUB_PRINTER_DIR
    fs::path ipc;       // PADLINK_IPC_DIR
    fs::path database() const { return home / "pos.db"; }
};

// Makes the folders, sets the environment and builds Cookhub's home and the
// table files. An empty text when all went well, else what failed.
std::string prepare(const fs::path& root, Paths& paths);

// The bridge's settings for one base station on `pty` with the handhelds
// (six hex digits each), GBK with CR LF as the POS's installer writes them.
std::string writeBridgeSettings(const Paths& paths, const std::string& pty,
                                const std::vector<std::string>& handhelds);

// The front end simulator in its POS role, then (once its window is open, as
// Padlink looks for it at start-up) Padlink and Cookhub.
struct Programs {
    explicit Programs(const Paths& paths);
    bool frontEndOpen = false;  // its window appeared within five seconds
    std::unique_ptr<Program> frontEnd;
    std::unique_ptr<Program> padlink;
    std::unique_ptr<Program> cookhub;
};

std::string readFile(const fs::path& file);

// Ticket texts (the file printers' UTF-8 renderings) per printer name.
std::map<std::string, std::vector<std::string>> tickets(const fs::path& printers);

}  // namespace installation
