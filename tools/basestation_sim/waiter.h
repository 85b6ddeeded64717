// Handhelds that behave like waiters: they log in, open a table, order a few
// dishes of the menu with remarks, sometimes hurry or return one, and check
// out. The numbers they send follow the front end simulator's POS role
// (docs/POS_SIMULATOR.md): dish numbers as the POS writes them, tables,
// specifications and remarks by their number in the exported table files.
#pragma once

#include "base_station_sim.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace basestation {

struct OrderItem {
    int dish = 0;
    int table = 0;
    int handheld = 0;
    int spec = 0;              // 0: none
    int tenths = 10;           // quantity in tenths
    std::vector<int> remarks;  // up to seven remark numbers
};

// Request frames of one handheld (the address byte the bridge polls).
Bytes loginFrame(std::uint8_t address, int handheld, const std::string& operatorDigits);
Bytes openTableFrame(std::uint8_t address, int table, int guests, int handheld);
Bytes orderFrame(std::uint8_t address, const std::vector<OrderItem>& items);
Bytes hurryFrame(std::uint8_t address, const OrderItem& item);
Bytes returnFrame(std::uint8_t address, const OrderItem& item);
Bytes checkOutFrame(std::uint8_t address, int table, std::uint32_t hundredths, int handheld);

struct Menu {
    std::vector<int> dishes;   // first field of 菜品信息表.txt
    int tables = 0;            // lines of 房台表.txt
    std::vector<int> remarks;  // first field of 二级做法表.txt
};

// The menu from the table files the POS exported into a TXT folder; nothing
// when the dish or table file is missing or empty.
std::optional<Menu> readMenu(const std::filesystem::path& txtFolder);

// `rounds` visits of waiter `handheld` (1, 2, ...): each a log-in, a table,
// an order of two to four dishes, now and then a hurry or a return, and the
// check-out. The same handheld number gives the same rounds.
std::vector<Bytes> waiterFrames(std::uint8_t address, int handheld,
                                const std::string& operatorDigits, const Menu& menu, int rounds);

}  // namespace basestation
