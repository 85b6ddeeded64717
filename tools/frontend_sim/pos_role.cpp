// The POS role of the front end simulator.
#include "pos_role.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdlib>
#include <sstream>

namespace frontend {

namespace {

// One prepared statement; finalised when it goes out of scope.
class Statement {
  public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    Statement& bind(int index, const std::string& text) {
        sqlite3_bind_text(stmt_, index, text.c_str(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bind(int index, double value) {
        sqlite3_bind_double(stmt_, index, value);
        return *this;
    }
    // True while a row is there.
    bool row() { return stmt_ != nullptr && sqlite3_step(stmt_) == SQLITE_ROW; }
    // True when the statement ran to its end.
    bool run() { return stmt_ != nullptr && sqlite3_step(stmt_) == SQLITE_DONE; }
    std::string text(int column) const {
        const auto* value = sqlite3_column_text(stmt_, column);
        return value != nullptr ? reinterpret_cast<const char*>(value) : std::string();
    }
    double number(int column) const { return sqlite3_column_double(stmt_, column); }

  private:
    sqlite3_stmt* stmt_ = nullptr;
};

bool exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// BEGIN IMMEDIATE ... COMMIT, rolled back unless committed: each request
// holds the write lock only for its own few statements.
class Transaction {
  public:
    explicit Transaction(sqlite3* db) : db_(db), begun_(exec(db, "BEGIN IMMEDIATE")) {}
    ~Transaction() {
        if (begun_ && !done_) {
            exec(db_, "ROLLBACK");
        }
    }
    bool begun() const { return begun_; }
    bool commit() {
        done_ = begun_ && exec(db_, "COMMIT");
        return done_;
    }

  private:
    sqlite3* db_;
    bool begun_;
    bool done_ = false;
};

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) {
        parts.push_back(part);
    }
    return parts;
}

// The request line's lines without their CR, empty ones dropped.
std::vector<std::string> requestLines(const std::string& requestLine) {
    std::vector<std::string> lines;
    for (std::string line : split(requestLine, '\n')) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::vector<double> numbers(const std::string& line) {
    std::vector<double> values;
    for (const std::string& field : split(line, ',')) {
        values.push_back(std::strtod(field.c_str(), nullptr));
    }
    return values;
}

// The fields after the request name of a one-line request ("KT,12,4,7").
std::vector<long long> headNumbers(const std::vector<std::string>& lines) {
    std::vector<long long> values;
    if (lines.empty()) {
        return values;
    }
    const auto fields = split(lines.front(), ',');
    for (std::size_t i = 1; i < fields.size(); ++i) {
        values.push_back(std::strtoll(fields[i].c_str(), nullptr, 10));
    }
    return values;
}

// Item lists: the first record stands behind the name on the first line
// ("CC,1001,..."), or on the line after a bare name ("LD").
std::vector<std::vector<double>> itemRecords(const std::vector<std::string>& lines) {
    std::vector<std::vector<double>> items;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string line = lines[i];
        if (i == 0) {
            const std::size_t comma = line.find(',');
            if (comma == std::string::npos) {
                continue;
            }
            line = line.substr(comma + 1);
        }
        items.push_back(numbers(line));
    }
    return items;
}

double field(const std::vector<double>& item, std::size_t number) {
    return number >= 1 && number <= item.size() ? item[number - 1] : 0.0;
}

int whole(double value) {
    return static_cast<int>(std::lround(value));
}

std::string code(int value) {
    return std::to_string(value);
}

long long billSequence(const std::string& billNo) {
    return billNo.size() > 7 ? std::strtoll(billNo.c_str() + 7, nullptr, 10) : 0;
}

}  // namespace

std::unique_ptr<PosRole> PosRole::open(const std::filesystem::path& database, std::string* error) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        if (error != nullptr) {
            *error = db != nullptr ? sqlite3_errmsg(db) : "cannot open the database";
        }
        sqlite3_close(db);
        return nullptr;
    }
    // Cookhub has the same file open: wait for its writes instead of failing.
    sqlite3_busy_timeout(db, 5000);
    exec(db, "PRAGMA journal_mode=WAL");
    Statement probe(db, "SELECT count(*) FROM pos_u_orderdish");
    if (!probe.row()) {
        if (error != nullptr) {
            *error = "no POS tables in " + database.string();
        }
        sqlite3_close(db);
        return nullptr;
    }
    return std::unique_ptr<PosRole>(new PosRole(db));
}

PosRole::~PosRole() {
    sqlite3_close(db_);
}

std::string PosRole::tableNo(int number) {
    if (number < 1) {
        return {};
    }
    Statement query(db_,
                    "SELECT ch_tableno FROM pos_bt_table ORDER BY ch_tableno LIMIT 1 OFFSET ?");
    query.bind(1, static_cast<double>(number - 1));
    return query.row() ? query.text(0) : std::string();
}

int PosRole::tableNumber(const std::string& tableNo) {
    Statement query(db_, "SELECT count(*) FROM pos_bt_table WHERE ch_tableno < ?");
    query.bind(1, tableNo);
    return query.row() ? whole(query.number(0)) + 1 : 0;
}

std::optional<std::string> PosRole::answer(std::uint32_t station, const std::string& notice,
                                           const std::string& requestLine) {
    const std::lock_guard lock(mutex_);
    const auto lines = requestLines(requestLine);
    if (notice == "DL") {
        const auto fields = lines.empty() ? std::vector<std::string>() : split(lines.front(), ',');
        std::vector<long long> head;
        if (fields.size() > 1) {
            head.push_back(std::strtoll(fields[1].c_str(), nullptr, 10));
        }
        return login(station, head, fields.size() > 2 ? fields[2] : std::string());
    }
    if (notice == "KT" || notice == "DT") {
        return tableStatus(station, headNumbers(lines), notice == "KT");
    }
    if (notice == "LD") {
        return order(station, itemRecords(lines));
    }
    if (notice == "CC") {
        return returnOrHurry(station, itemRecords(lines));
    }
    if (notice == "JZ") {
        return checkOut(station, headNumbers(lines));
    }
    return std::nullopt;
}

std::string PosRole::login(std::uint32_t station, const std::vector<long long>& head,
                           const std::string& digits) {
    const std::string refused = code(kRefused) + ",0,0,0,0,0,0,0,0,0,0";
    if (head.empty() || digits.empty()) {
        return refused;
    }
    Statement query(db_, "SELECT vch_operid FROM pos_sys_operator WHERE vch_operid = ?");
    query.bind(1, digits);
    if (!query.row()) {
        return refused;
    }
    sessions_[{station, static_cast<int>(head[0])}] = Session{query.text(0), {}, {}};
    return "0,0,0,0,0,0,0,0,0,0,0";
}

std::optional<std::string> PosRole::openBill(const std::string& tableNo) {
    Statement query(db_,
                    "SELECT ch_billno FROM pos_u_table WHERE ch_tableno = ? "
                    "ORDER BY dt_operdate DESC LIMIT 1");
    query.bind(1, tableNo);
    if (query.row()) {
        return query.text(0);
    }
    return std::nullopt;
}

std::string PosRole::tableStatus(std::uint32_t station, const std::vector<long long>& head,
                                 bool open) {
    const int number = head.empty() ? 0 : static_cast<int>(head[0]);
    const int persons = head.size() > 1 ? static_cast<int>(head[1]) : 0;
    const int handheld = head.size() > 2 ? static_cast<int>(head[2]) : 0;
    const std::string table = tableNo(number);
    if (table.empty()) {
        return code(kUnknownItem);
    }
    std::optional<std::string> bill = openBill(table);
    if (!bill && open) {
        Transaction transaction(db_);
        if (!transaction.begun()) {
            return code(kDatabaseBusy);
        }
        Statement next(
            db_,
            "SELECT 'P' || substr(strftime('%Y%m%d', 'now', 'localtime'), 3) || "
            "printf('%04d', 1 + ifnull(max(CAST(substr(ch_billno, 8) AS INTEGER)), 0)) "
            "FROM (SELECT ch_billno FROM pos_u_table UNION "
            "      SELECT ch_billno FROM pos_u_orderdish) "
            "WHERE ch_billno LIKE 'P' || substr(strftime('%Y%m%d', 'now', 'localtime'), 3) || '%'");
        if (!next.row()) {
            return code(kDatabaseBusy);
        }
        const std::string billNo = next.text(0);
        if (billNo.empty()) {
            return code(kDatabaseBusy);
        }
        Statement insert(db_,
                         "INSERT INTO pos_u_table (ch_tableno, ch_billno, ch_oldtableno, "
                         "int_person, dt_operdate) VALUES (?, ?, '', ?, "
                         "datetime('now', 'localtime'))");
        insert.bind(1, table).bind(2, billNo).bind(3, static_cast<double>(persons));
        if (!insert.run() || !transaction.commit()) {
            return code(kDatabaseBusy);
        }
        bill = billNo;
    }
    double guests = 0;
    if (bill) {
        Statement query(db_,
                        "SELECT ifnull(int_person, 0) FROM pos_u_table "
                        "WHERE ch_tableno = ? AND ch_billno = ?");
        query.bind(1, table).bind(2, *bill);
        if (query.row()) {
            guests = query.number(0);
        }
        Session& session = sessions_[{station, handheld}];
        session.tableNo = table;
        session.billNo = *bill;
    }
    std::ostringstream text;
    text << "0|" << number << ',' << (bill ? billSequence(*bill) : 0) << ',' << whole(guests) << ','
         << (bill ? 1 : 0) << ",0,0,0,0,0,0";
    return text.str();
}

std::string PosRole::billFor(std::uint32_t station, int handheld, const std::string& tableNo) {
    const auto session = sessions_.find({station, handheld});
    if (session != sessions_.end() && session->second.tableNo == tableNo &&
        !session->second.billNo.empty()) {
        Statement still(db_, "SELECT 1 FROM pos_u_table WHERE ch_tableno = ? AND ch_billno = ?");
        still.bind(1, tableNo).bind(2, session->second.billNo);
        if (still.row()) {
            return session->second.billNo;
        }
    }
    return openBill(tableNo).value_or(std::string());
}

std::string PosRole::order(std::uint32_t station, const std::vector<std::vector<double>>& items) {
    if (items.empty()) {
        return code(kUnknownItem);
    }
    const int handheld = whole(field(items.front(), 3));
    const std::string table = tableNo(whole(field(items.front(), 2)));
    if (table.empty()) {
        return code(kUnknownItem);
    }
    const std::string bill = billFor(station, handheld, table);
    if (bill.empty()) {
        return code(kNoOpenBill);
    }
    const auto session = sessions_.find({station, handheld});
    const std::string operatorId =
        session != sessions_.end() ? session->second.operatorId : std::string();

    Transaction transaction(db_);
    if (!transaction.begun()) {
        return code(kDatabaseBusy);
    }
    int lines = 0;
    for (const auto& item : items) {
        const std::string dishNo = std::to_string(whole(field(item, 1)));
        Statement dish(
            db_, "SELECT ch_dishno, ifnull(num_price, 0) FROM pos_bt_dish WHERE ch_dishno = ?");
        dish.bind(1, dishNo);
        if (!dish.row()) {
            return code(kUnknownItem);  // nothing of the order is kept
        }
        std::string spec;
        if (const int specNumber = whole(field(item, 4)); specNumber > 0) {
            Statement query(db_,
                            "SELECT ch_specid FROM pos_bt_dish_spec ORDER BY ch_specid "
                            "LIMIT 1 OFFSET ?");
            query.bind(1, static_cast<double>(specNumber - 1));
            if (!query.row()) {
                return code(kUnknownItem);
            }
            spec = query.text(0);
        }
        std::string memo;
        for (std::size_t f = 10; f <= 16; ++f) {
            const int remark = whole(field(item, f));
            if (remark <= 0) {
                continue;
            }
            Statement query(db_,
                            "SELECT vch_remark FROM pos_bt_cook_remark WHERE int_remarkno = ?");
            query.bind(1, static_cast<double>(remark));
            if (query.row()) {
                memo += (memo.empty() ? "" : " ") + query.text(0);
            }
        }
        const double quantity = field(item, 5);

        // A set meal goes to the kitchen as its components.
        std::vector<std::pair<std::string, double>> parts;  // dish, quantity per set
        Statement suit(db_,
                       "SELECT ch_dishno_detail, ifnull(num_num, 1) FROM pos_bt_dish_suit "
                       "WHERE ch_dishno = ? ORDER BY main_dish DESC, ch_dishno_detail");
        suit.bind(1, dishNo);
        while (suit.row()) {
            parts.emplace_back(suit.text(0), suit.number(1));
        }
        const std::string suitNo = parts.empty() ? std::string() : dishNo;
        if (parts.empty()) {
            parts.emplace_back(dishNo, 1.0);
        }
        for (const auto& [partNo, perSet] : parts) {
            Statement insert(db_,
                             "INSERT INTO pos_u_orderdish (int_id, ch_billno, ch_tableno, "
                             "ch_oldtableno, ch_dishno, ch_suitdishno, ch_dish_barcode, num_num, "
                             "num_price, vch_print_memo, vch_reason, dt_operdate, dt_dis_operdate, "
                             "vch_operid, ch_printflag, ch_outflag1, ch_outflag2) "
                             "SELECT (SELECT ifnull(max(int_id), 0) + 1 FROM pos_u_orderdish "
                             "        WHERE ch_billno = ?1), ?1, ?2, '', ?3, ?4, ?5, ?6, "
                             "ifnull((SELECT num_price FROM pos_bt_dish WHERE ch_dishno = ?3), 0), "
                             "?7, '', datetime('now', 'localtime'), datetime('now', 'localtime'), "
                             "?8, 'N', 'N', 'N'");
            insert.bind(1, bill).bind(2, table).bind(3, partNo).bind(4, suitNo).bind(5, spec);
            insert.bind(6, quantity * perSet).bind(7, memo).bind(8, operatorId);
            if (!insert.run()) {
                return code(kDatabaseBusy);
            }
            ++lines;
        }
    }
    if (!transaction.commit()) {
        return code(kDatabaseBusy);
    }
    return "0|" + std::to_string(lines) + "," + std::to_string(billSequence(bill));
}

std::string PosRole::returnOrHurry(std::uint32_t station,
                                   const std::vector<std::vector<double>>& items) {
    if (items.empty()) {
        return code(kUnknownItem);
    }
    Transaction transaction(db_);
    if (!transaction.begun()) {
        return code(kDatabaseBusy);
    }
    for (const auto& item : items) {
        const std::string table = tableNo(whole(field(item, 2)));
        if (table.empty()) {
            return code(kUnknownItem);
        }
        const std::string bill = billFor(station, whole(field(item, 3)), table);
        if (bill.empty()) {
            return code(kNoOpenBill);
        }
        const std::string dishNo = std::to_string(whole(field(item, 1)));
        // The latest line of the dish on the bill that is not itself a return.
        Statement line(db_,
                       "SELECT int_flowid FROM pos_u_orderdish WHERE ch_billno = ? AND "
                       "ch_dishno = ? AND ifnull(ch_cancelflag, 'N') <> 'Y' "
                       "ORDER BY int_flowid DESC LIMIT 1");
        line.bind(1, bill).bind(2, dishNo);
        if (!line.row()) {
            return code(kUnknownItem);
        }
        const double flowId = line.number(0);
        // Field 9 raised by 100 is the hurry; the plain one returns the dish.
        if (whole(field(item, 9)) >= 100) {
            Statement hurry(db_,
                            "UPDATE pos_u_orderdish SET ch_printflag = 'H', vch_reason = '催菜', "
                            "dt_operdate = datetime('now', 'localtime') WHERE int_flowid = ?");
            hurry.bind(1, flowId);
            if (!hurry.run()) {
                return code(kDatabaseBusy);
            }
            continue;
        }
        const double quantity = field(item, 5);
        Statement back(db_,
                       "INSERT INTO pos_u_orderdish (int_id, ch_billno, ch_tableno, "
                       "ch_oldtableno, ch_dishno, ch_suitdishno, ch_dish_barcode, num_num, "
                       "num_price, ch_cancelflag, vch_print_memo, vch_reason, dt_operdate, "
                       "dt_dis_operdate, vch_operid, ch_printflag, ch_outflag1, ch_outflag2) "
                       "SELECT (SELECT max(int_id) + 1 FROM pos_u_orderdish WHERE ch_billno = ?3), "
                       "ch_billno, ch_tableno, ch_oldtableno, ch_dishno, "
                       "ch_suitdishno, ch_dish_barcode, CASE WHEN ?2 > 0 THEN ?2 ELSE num_num END, "
                       "num_price, 'Y', '', '退菜', datetime('now', 'localtime'), "
                       "datetime('now', 'localtime'), vch_operid, 'B', 'N', 'N' "
                       "FROM pos_u_orderdish WHERE int_flowid = ?1");
        back.bind(1, flowId).bind(2, quantity).bind(3, bill);
        if (!back.run()) {
            return code(kDatabaseBusy);
        }
    }
    if (!transaction.commit()) {
        return code(kDatabaseBusy);
    }
    return "0";
}

std::string PosRole::checkOut(std::uint32_t station, const std::vector<long long>& head) {
    const std::string table = tableNo(head.empty() ? 0 : static_cast<int>(head[0]));
    if (table.empty()) {
        return code(kUnknownItem);
    }
    const int handheld = head.size() > 2 ? static_cast<int>(head[2]) : 0;
    const std::string bill = billFor(station, handheld, table);
    if (bill.empty()) {
        return code(kNoOpenBill);
    }
    Statement close(db_, "DELETE FROM pos_u_table WHERE ch_tableno = ? AND ch_billno = ?");
    close.bind(1, table).bind(2, bill);
    if (!close.run()) {
        return code(kDatabaseBusy);
    }
    for (auto& [key, session] : sessions_) {
        if (session.billNo == bill) {
            session.tableNo.clear();
            session.billNo.clear();
        }
    }
    return "0";
}

}  // namespace frontend
