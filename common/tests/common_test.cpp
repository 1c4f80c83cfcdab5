// The shared helpers: INI text, hexadecimal fields, atomic file replacement.
#include "atomic_file.h"
#include "hex_format.h"
#include "ini_text.h"
#include "shown_name.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(ShownName, LongNamesAreCutToSixtyFourCharactersWithoutSplittingALetter)
{
    EXPECT_EQ(ShownName(std::string(64, 'x')), std::string(64, 'x'));
    EXPECT_EQ(ShownName(std::string(1 << 20, 'x')), std::string(63, 'x') + "…");
    std::string cyrillic;
    for (int i = 0; i < 100; ++i)
        cyrillic += "ж";
    std::string expected;
    for (int i = 0; i < 63; ++i)
        expected += "ж";
    EXPECT_EQ(ShownName(cyrillic), expected + "…");
}

TEST(IniText, NamesCompareCaseBlindInLatinAndCyrillic)
{
    EXPECT_TRUE(IniNamesEqual("ComPortName", "COMPORTNAME"));
    EXPECT_TRUE(IniNamesEqual("Управление потоком", "УПРАВЛЕНИЕ ПОТОКОМ"));
    EXPECT_TRUE(IniNamesEqual("Чётность", "ЧЁТНОСТЬ"));
    EXPECT_FALSE(IniNamesEqual("Чётность", "Четность")) << "ё and е are different letters";
    EXPECT_FALSE(IniNamesEqual("Порт", "Порт "));
    EXPECT_FALSE(IniNamesEqual("\xD0", "\xD0\x9F")) << "a cut sequence is not a letter";
}

TEST(IniText, EntriesCarryTheirGroup)
{
    const std::vector<IniEntry> entries = ParseIniText(
        "top = 1\r\n[Порт]\r\n  Скорость  =  11  \r\n; note = 5\r\nno equals sign\r\n[Second]\r\nx=2");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].groupIndex, -1);
    EXPECT_EQ(entries[1].group, "Порт");
    EXPECT_EQ(entries[1].key, "Скорость");
    EXPECT_EQ(entries[1].value, "11  ");
    EXPECT_EQ(IniTrimmedText(entries[1].value), "11");
    EXPECT_EQ(FindIniGroup(entries, "порт"), 0);
    EXPECT_EQ(FindIniGroup(entries, "Missing"), std::nullopt);
    EXPECT_EQ(FindIniEntry(entries, 1, "X")->value, "2");
    EXPECT_EQ(FindIniEntry(entries, 0, "x"), nullptr);
}

TEST(HexFormat, FixedWidthUppercaseCutToTheField)
{
    EXPECT_EQ(FormatWord4(0), "0000");
    EXPECT_EQ(FormatWord4(0xA5), "00A5");
    EXPECT_EQ(FormatWord4(0x2F3C), "2F3C");
    EXPECT_EQ(FormatWord4(0x12345), "1234");
    EXPECT_EQ(FormatByte2(0x0A), "0A");
    EXPECT_EQ(FormatByte2(0x312), "31") << "a longer text keeps its first characters";
}

class AtomicFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = std::filesystem::temp_directory_path() / ("atomic-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override
    {
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all);
        std::filesystem::remove_all(dir_);
    }
    std::string Read(const std::filesystem::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::filesystem::path dir_;
};

TEST_F(AtomicFile, ReplacesWholeAndKeepsPermissions)
{
    const auto file = dir_ / "settings.ini";
    ASSERT_TRUE(WriteFileAtomically(file.string(), "first\r\n"));
    EXPECT_EQ(Read(file), "first\r\n");
    ::chmod(file.c_str(), 0600);
    ASSERT_TRUE(WriteFileAtomically(file.string(), "second"));
    EXPECT_EQ(Read(file), "second");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1) << "no temporary file left";
}

TEST_F(AtomicFile, AFailedWriteLeavesTheOldFile)
{
    const auto file = dir_ / "settings.ini";
    ASSERT_TRUE(WriteFileAtomically(file.string(), "kept"));
    EXPECT_FALSE(WriteFileAtomically((dir_ / "missing" / "x.ini").string(), "lost"));
    if (::geteuid() != 0) {  // root writes into read-only directories anyway
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        EXPECT_FALSE(WriteFileAtomically(file.string(), "new"));
    }
    EXPECT_EQ(Read(file), "kept");
}

}  // namespace
