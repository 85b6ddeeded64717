#include "installation.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace installation {

using namespace std::chrono_literals;

namespace {

int run(const std::string& command) {
    return std::system(command.c_str());
}

std::string quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

bool writeGbk(const fs::path& file, const std::string& utf8) {
    const fs::path plain = file.string() + ".utf8";
    std::ofstream(plain, std::ios::binary) << utf8;
    const bool ok =
        run("sed 's/$/\\r/' " + quoted(plain) + " | iconv -f UTF-8 -t GBK > " + quoted(file)) == 0;
    fs::remove(plain);
    return ok;
}

}  // namespace

Program::Program(const std::vector<std::string>& argv, const fs::path& cwd, const fs::path& log) {
    pid_ = fork();
    if (pid_ != 0) {
        return;
    }
    // A test or bench that dies must not leave the installation running.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int in = open("/dev/null", O_RDONLY);
    if (out < 0 || in < 0 || chdir(cwd.c_str()) != 0) {
        _exit(127);
    }
    dup2(in, 0);
    dup2(out, 1);
    dup2(out, 2);
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

Program::~Program() {
    if (pid_ <= 0) {
        return;
    }
    kill(pid_, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            return;
        }
        std::this_thread::sleep_for(50ms);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

bool Program::running() const {
    return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0;
}

Folder::Folder() {
    std::string pattern = (fs::temp_directory_path() / "whole-installation-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) {
        path_ = pattern;
    }
}

Folder::~Folder() {
    std::error_code ignored;
    if (!path_.empty() && std::getenv("KEEP_TEST_FOLDER") == nullptr) {
        fs::remove_all(path_, ignored);
    }
}

std::string prepare(const fs::path& root, Paths& paths) {
    if (root.empty()) {
        return "no temporary folder";
    }
    paths.root = root;
    paths.home = root / "home";
    paths.padlink = root / "padlink";
    paths.txt = paths.padlink / "TXT";
    paths.printers = root / "printers";
    paths.ipc = root / "ipc";
    std::error_code failed;
    for (const fs::path& folder : {root / "run", paths.ipc, paths.txt, paths.printers}) {
        fs::create_directories(folder, failed);
        fs::permissions(folder, fs::perms::owner_all, failed);
    }
    if (failed) {
        return "cannot make the folders: " + failed.message();
    }
    setenv("XDG_RUNTIME_DIR", (root / "run").c_str(), 1);
    setenv("PADLINK_IPC_DIR", paths.ipc.c_str(), 1);
    setenv("COOKHUB_HOME", paths.home.c_str(), 1);
    setenv("COOKHUB_PRINTER_DIR", paths.printers.c_str(), 1);
    setenv("COOKHUB_SSRP_TARGET", "127.0.0.1:1434", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("COOKHUB_AUTO_ANSWER", "ok", 1);
    setenv("PADLINK_AUTO_ANSWER", "ok", 1);

    const std::string tools = WHOLE_INSTALLATION_SOURCE_DIR "/tools/";
    if (run(tools + "make-demo-home.sh " + quoted(paths.home) +
            " '" COOKHUB_BIN_DIR "' >/dev/null") != 0) {
        return "make-demo-home.sh failed";
    }
    if (run(tools + "export-table-files.sh " + quoted(paths.database()) + " " + quoted(paths.txt) +
            " >/dev/null") != 0) {
        return "export-table-files.sh failed";
    }
    return {};
}

std::string writeBridgeSettings(const Paths& paths, const std::string& pty,
                                const std::vector<std::string>& handhelds) {
    std::string handheldFile;
    for (const auto& address : handhelds) {
        handheldFile += "1," + address + "\n";
    }
    if (!writeGbk(paths.txt / "系统时间.txt",
                  "轮循间隔:30\n读取超时:30\n读取时间间隔:30\n调试信息输出:0\n") ||
        !writeGbk(paths.txt / "基站.txt", pty + ",001\n") ||
        !writeGbk(paths.txt / "点菜机.txt", handheldFile)) {
        return "cannot write the bridge's settings";
    }
    return {};
}

Programs::Programs(const Paths& paths) {
    frontEnd = std::make_unique<Program>(
        std::vector<std::string>{FRONTEND_SIM_PROGRAM, "--home", paths.padlink.string(), "--title",
                                 "POSFront", "--pos", paths.database().string()},
        paths.padlink, paths.root / "frontend.log");
    for (int i = 0; i < 100 && !frontEndOpen; ++i) {
        std::this_thread::sleep_for(50ms);
        frontEndOpen = fs::exists(paths.ipc / "POSFront");
    }
    padlink = std::make_unique<Program>(std::vector<std::string>{PADLINK_PROGRAM, "POSFront"},
                                        paths.padlink, paths.root / "padlink.log");
    cookhub = std::make_unique<Program>(std::vector<std::string>{COOKHUB_PROGRAM}, paths.home,
                                        paths.root / "cookhub.log");
}

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::map<std::string, std::vector<std::string>> tickets(const fs::path& printers) {
    std::map<std::string, std::vector<std::string>> found;
    std::error_code failed;
    for (const auto& printer : fs::directory_iterator(printers, failed)) {
        for (const auto& file : fs::directory_iterator(printer.path(), failed)) {
            if (file.path().extension() == ".txt") {
                found[printer.path().filename().string()].push_back(readFile(file.path()));
            }
        }
    }
    return found;
}

}  // namespace installation
