// For tests: the process switched to a locale whose decimal separator is a
// comma, as Qt does from the environment (setlocale(LC_ALL, "")), and back
// to "C" afterwards. When no such locale is installed it is made with
// localedef into a private folder (LOCPATH); when that fails too the test
// must skip, saying why.
#pragma once

#include "config/test_folder.h"

#include <clocale>
#include <cstdlib>
#include <string>

namespace padlink::testing {

class CommaDecimalLocale {
  public:
    CommaDecimalLocale() {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE"}) {
            if (use(name)) {
                return;
            }
        }
        // localedef needs the locale sources of the "locales" package.
        const std::string made = (folder_.path() / "de_DE.UTF-8").string();
        const std::string command = "localedef -i de_DE -f UTF-8 '" + made + "' >/dev/null 2>&1";
        if (!folder_.path().empty() && std::system(command.c_str()) == 0) {
            setenv("LOCPATH", folder_.path().c_str(), 1);
            if (use("de_DE.UTF-8")) {
                return;
            }
            unsetenv("LOCPATH");
        }
        why_ = "no comma-decimal locale installed, and localedef could not make de_DE.UTF-8";
    }
    ~CommaDecimalLocale() {
        std::setlocale(LC_ALL, "C");
        if (std::getenv("LOCPATH") != nullptr) {
            unsetenv("LOCPATH");
        }
    }
    CommaDecimalLocale(const CommaDecimalLocale&) = delete;
    CommaDecimalLocale& operator=(const CommaDecimalLocale&) = delete;

    bool active() const { return why_.empty(); }
    const std::string& why() const { return why_; }

  private:
    bool use(const char* name) {
        if (std::setlocale(LC_ALL, name) == nullptr) {
            return false;
        }
        if (std::string(std::localeconv()->decimal_point) == ",") {
            return true;
        }
        std::setlocale(LC_ALL, "C");
        return false;
    }

    TestFolder folder_;
    std::string why_;
};

}  // namespace padlink::testing
