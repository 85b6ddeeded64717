// Waiter handhelds of the base-station simulator.
#include "waiter.h"

#include "config/text_file.h"

#include <algorithm>
#include <cstdlib>
#include <random>

namespace basestation {

namespace {

void put16(Bytes& bytes, std::size_t at, int value) {
    bytes[at] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[at + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

// The first 28 bytes of an item record; field 9 is the order kind 3.
Bytes itemBytes(const OrderItem& item, std::size_t size) {
    Bytes bytes(size, 0);
    put16(bytes, 0, item.dish);
    put16(bytes, 2, item.table);
    put16(bytes, 4, item.handheld);
    put16(bytes, 6, item.spec);
    put16(bytes, 8, item.tenths);
    bytes[13] = 3;
    for (std::size_t r = 0; r < item.remarks.size() && r < 7; ++r) {
        put16(bytes, 14 + 2 * r, item.remarks[r]);
    }
    return bytes;
}

std::vector<int> firstFields(const std::filesystem::path& file) {
    std::vector<int> numbers;
    if (const auto lines = padlink::readTextLines(file)) {
        for (const auto& line : *lines) {
            if (!line.empty()) {
                numbers.push_back(std::atoi(line.c_str()));
            }
        }
    }
    return numbers;
}

}  // namespace

Bytes loginFrame(std::uint8_t address, int handheld, const std::string& operatorDigits) {
    Bytes payload(24, 0);
    put16(payload, 0, handheld);
    for (std::size_t i = 0; i < 10; ++i) {
        const bool digit =
            i < operatorDigits.size() && operatorDigits[i] >= '0' && operatorDigits[i] <= '9';
        payload[2 + i] = digit ? static_cast<std::uint8_t>(operatorDigits[i] - '0') : 0xAA;
        payload[12 + i] = 0xAA;
    }
    return requestFrame(address, 0x50, payload);
}

Bytes openTableFrame(std::uint8_t address, int table, int guests, int handheld) {
    Bytes payload(6, 0);
    put16(payload, 0, table);
    payload[2] = static_cast<std::uint8_t>(guests);
    put16(payload, 4, handheld);
    return requestFrame(address, 0x51, payload);
}

Bytes orderFrame(std::uint8_t address, const std::vector<OrderItem>& items) {
    Bytes payload;
    for (const auto& item : items) {
        const Bytes record = itemBytes(item, 33);
        payload.insert(payload.end(), record.begin(), record.end());
    }
    return requestFrame(address, 0x31, payload);
}

// The bridge raises field 9 by 100 for this command: the POS role's hurry.
Bytes hurryFrame(std::uint8_t address, const OrderItem& item) {
    return requestFrame(address, 0x33, itemBytes(item, 28));
}

Bytes returnFrame(std::uint8_t address, const OrderItem& item) {
    return requestFrame(address, 0x30, itemBytes(item, 28));
}

Bytes checkOutFrame(std::uint8_t address, int table, std::uint32_t hundredths, int handheld) {
    Bytes payload(8, 0);
    put16(payload, 0, table);
    for (int b = 0; b < 4; ++b) {
        payload[2 + b] = static_cast<std::uint8_t>((hundredths >> (8 * b)) & 0xFF);
    }
    put16(payload, 6, handheld);
    return requestFrame(address, 0x37, payload);
}

std::optional<Menu> readMenu(const std::filesystem::path& txtFolder) {
    Menu menu;
    menu.dishes = firstFields(padlink::findIgnoringCase(txtFolder, "菜品信息表.txt"));
    menu.tables =
        static_cast<int>(firstFields(padlink::findIgnoringCase(txtFolder, "房台表.txt")).size());
    menu.remarks = firstFields(padlink::findIgnoringCase(txtFolder, "二级做法表.txt"));
    if (menu.dishes.empty() || menu.tables == 0) {
        return std::nullopt;
    }
    return menu;
}

std::vector<Bytes> waiterFrames(std::uint8_t address, int handheld,
                                const std::string& operatorDigits, const Menu& menu, int rounds) {
    std::vector<Bytes> frames;
    if (menu.dishes.empty() || menu.tables == 0) {
        return frames;
    }
    std::mt19937 random(static_cast<unsigned>(handheld) * 7919u + 1u);
    const auto below = [&random](int n) {
        return static_cast<int>(random() % static_cast<unsigned>(std::max(1, n)));
    };
    for (int round = 0; round < rounds; ++round) {
        const int table = (handheld - 1 + round * 3) % menu.tables + 1;
        frames.push_back(loginFrame(address, handheld, operatorDigits));
        frames.push_back(openTableFrame(address, table, 2 + below(5), handheld));
        std::vector<OrderItem> items;
        const int count = 2 + below(3);
        for (int i = 0; i < count; ++i) {
            OrderItem item;
            item.dish =
                menu.dishes[static_cast<std::size_t>(below(static_cast<int>(menu.dishes.size())))];
            item.table = table;
            item.handheld = handheld;
            item.tenths = below(4) == 0 ? 20 : 10;
            if (!menu.remarks.empty() && below(2) == 0) {
                item.remarks.push_back(menu.remarks[static_cast<std::size_t>(
                    below(static_cast<int>(menu.remarks.size())))]);
            }
            items.push_back(item);
        }
        frames.push_back(orderFrame(address, items));
        if (below(3) == 0) {
            frames.push_back(hurryFrame(address, items.front()));
        }
        if (below(4) == 0) {
            frames.push_back(returnFrame(address, items.back()));
        }
        frames.push_back(checkOutFrame(address, table, 0, handheld));
    }
    return frames;
}

}  // namespace basestation
