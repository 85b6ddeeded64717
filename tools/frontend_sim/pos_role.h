// The front end simulator's POS role: it answers the handhelds' requests from
// the POS database (a SQLite file that Cookhub has open at the same time) and
// records their orders there as a front end would, so that the kitchen
// prints them. The numbers on the handhelds' side are the simulator's own;
// docs/POS_SIMULATOR.md maps every field to its column.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;

namespace frontend {

class PosRole {
  public:
    // Answer codes the handhelds get besides 0 (done).
    static constexpr int kRefused = 1;       // unknown operator; not logged in is no refusal
    static constexpr int kNoOpenBill = 2;    // the table has no open bill
    static constexpr int kUnknownItem = 3;   // dish, table or dish line not in the POS
    static constexpr int kDatabaseBusy = 4;  // the database could not be written

    // Opens the database file; nullopt when it cannot be opened or has no POS tables.
    static std::unique_ptr<PosRole> open(const std::filesystem::path& database, std::string* error);
    ~PosRole();
    PosRole(const PosRole&) = delete;
    PosRole& operator=(const PosRole&) = delete;

    // The answer text ("|" between the answer file's lines) to the request
    // line of a notice from base station `station`; nullopt for a notice the
    // POS role leaves to the script or the default answers.
    std::optional<std::string> answer(std::uint32_t station, const std::string& notice,
                                      const std::string& requestLine);

    // The n-th table and the n-th specification (1-based, by their POS
    // numbers): the numbers the handhelds use for them. Empty when out of range.
    std::string tableNo(int number);
    int tableNumber(const std::string& tableNo);

  private:
    explicit PosRole(sqlite3* db) : db_(db) {}

    struct Session {
        std::string operatorId;
        std::string tableNo;
        std::string billNo;
    };
    using SessionKey = std::pair<std::uint32_t, int>;  // base station, handheld number

    std::string login(std::uint32_t station, const std::vector<long long>& numbers,
                      const std::string& digits);
    std::string tableStatus(std::uint32_t station, const std::vector<long long>& numbers,
                            bool open);
    std::string order(std::uint32_t station, const std::vector<std::vector<double>>& items);
    std::string returnOrHurry(std::uint32_t station, const std::vector<std::vector<double>>& items);
    std::string checkOut(std::uint32_t station, const std::vector<long long>& numbers);

    std::optional<std::string> openBill(const std::string& tableNo);
    std::string billFor(std::uint32_t station, int handheld, const std::string& tableNo);

    std::mutex mutex_;
    sqlite3* db_;
    std::map<SessionKey, Session> sessions_;
};

}  // namespace frontend
