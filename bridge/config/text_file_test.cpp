// Text-mode line ends and case-blind file names.
#include "config/text_file.h"

#include "config/test_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace padlink {
namespace {

std::string readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

TEST(TextFile, ReadsCrLfAndBareLfAsLineEnds) {
    testing::TestFolder folder;
    const auto file = folder.path() / "lines.txt";
    struct Case {
        std::string bytes;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\r\n\r\nb\n", {"a", "", "b"}},
        {"a\rb\r\n", {"a\rb"}},  // a lone CR is part of the line
        {"\xbb\xf9\r\n", {"\xbb\xf9"}},
        {"", {}},
    };
    for (const auto& c : cases) {
        writeBytes(file, c.bytes);
        const auto lines = readTextLines(file);
        ASSERT_TRUE(lines.has_value());
        EXPECT_EQ(*lines, c.lines) << "for " << ::testing::PrintToString(c.bytes);
    }
    EXPECT_FALSE(readTextLines(folder.path() / "missing.txt").has_value());
    EXPECT_FALSE(readTextLines(folder.path()).has_value()) << "a folder is not a file";
}

TEST(TextFile, WritesCrLf) {
    testing::TestFolder folder;
    const auto file = folder.path() / "out.txt";
    writeBytes(file, "much longer content that must be truncated away");
    ASSERT_TRUE(writeTextFile(file, "a:1\nb:2"));
    EXPECT_EQ(readBytes(file), "a:1\r\nb:2");
    EXPECT_FALSE(writeTextFile(folder.path() / "no-such-folder" / "x.txt", "x"));
}

TEST(TextFile, FindsNamesIgnoringAsciiCase) {
    testing::TestFolder folder;
    std::filesystem::create_directory(folder.path() / "txt");
    EXPECT_EQ(findIgnoringCase(folder.path(), "TXT"), folder.path() / "txt");
    std::filesystem::create_directory(folder.path() / "TXT");
    EXPECT_EQ(findIgnoringCase(folder.path(), "TXT"), folder.path() / "TXT") << "exact first";
    EXPECT_EQ(findIgnoringCase(folder.path(), "none"), folder.path() / "none");
}

}  // namespace
}  // namespace padlink
