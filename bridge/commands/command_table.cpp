// The command table.
#include "commands/command_table.h"

namespace padlink {

namespace {

using enum RequestRecord;
using enum AnswerKind;
using NF = NumberField;

constexpr std::array<NumberField, 3> kSigned{NF::signed16, NF::signed16, NF::signed16};
constexpr std::array<NumberField, 3> kTable{NF::unsigned16, NF::byteOnly, NF::signed16};
constexpr std::array<NumberField, 3> kReturnDish{NF::unsigned16, NF::signed16, NF::signed16};
constexpr std::array<NumberField, 3> kTransfer{NF::unsigned16, NF::unsigned16, NF::signed16};

constexpr std::array<Command, 24> kCommands{{
    {0x30, "CC", "CC,", shortItems, plain},
    {0x31, "LD", "LD\n", items, valueList},
    {0x32, "JC", "JC,", shortItems, plain},
    {0x33, "CC", "CC,", shortItemsRaised, plain},
    {0x34, "DYTD", "DYTD,", threeNumbers, plain, kSigned},
    {0x35, "LDZS", "LDZS,", shortItems, plain},
    {0x36, "XGJG", "XGJG,", items, plain},
    {0x37, "JZ", "JZ,", checkOut, plain},
    {0x38, "", "RFT,", radioTest, radioTestEcho},
    {0x50, "DL", "DL,", loginOneString, login},
    {0x51, "KT", "KT,", threeNumbers, tableStatus, kTable},
    {0x54, "DT", "DT,", threeNumbers, tableStatus, kTable},
    {0x57, "CT", "CT,", threeNumbers, plain, kSigned},
    {0x58, "XGMM", "XGMM,", loginTwoStrings, plain},
    {0x62, "CXSXZT", "CXSXZT", none, entryList3},
    {0x63, "DCSXZT", "DCSXZT", none, entryList6},
    {0x64, "ZDSXZT", "ZDSXZT", none, entryList8},
    {0x66, "THDC", "THDC,", threeNumbers, tableStatusWithItems, kReturnDish},
    {0x67, "ZTDC", "ZTDC,", threeNumbers, tableStatusWithItems, kTransfer},
    {0x69, "GQXL", "GQXL", none, twoLists},
    {0x70, "XGRS", "XGRS,", threeNumbers, plain, kTable},
    {0x80, "", "", empty, sevenByteStatus},
    {0x83, "ZJC", "ZJC,", shortItems, plain},
    {0x84, "JQ", "JQ,", startNow, plain},
}};

constexpr std::array<const Command*, 256> makeIndex() {
    std::array<const Command*, 256> index{};
    for (const Command& command : kCommands) {
        index[command.byte] = &command;
    }
    return index;
}

constexpr auto kIndex = makeIndex();

}  // namespace

const Command* findCommand(std::uint8_t byte) { return kIndex[byte]; }

}  // namespace padlink
