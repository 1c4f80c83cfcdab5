// Code page 1251, the settings file and the collection of dialog choices.
#include "cp1251.h"
#include "ini_text.h"
#include "port_settings.h"
#include "settings_file.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <sys/stat.h>
#include <unistd.h>
#include <iconv.h>

namespace fs = std::filesystem;

namespace {

const char kDefaultFileUtf8[] =
    "[Порт]\r\nПорт = 0\r\nСкорость = 11\r\nКоличество бит = 3\r\nЧётность = 2\r\n"
    "Стоп Биты = 0\r\nУправление потоком = 2\r\nБайт Xon = 11\r\nБайт Xoff = 13\r\n";

std::string IconvCp1251ToUtf8(std::string in)
{
    iconv_t cd = iconv_open("UTF-8", "CP1251");
    std::string out(in.size() * 4, '\0');
    char* src = in.data();
    char* dst = out.data();
    std::size_t srcLeft = in.size(), dstLeft = out.size();
    const std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    return rc == std::size_t(-1) ? "<invalid>" : out.substr(0, out.size() - dstLeft);
}

std::array<int32_t, 8> Stored(const PortSettings& s)
{
    return {s.portIndex,        s.baudIndex, s.dataBitsIndex, s.parityIndex, s.stopBitsIndex,
            s.flowControlIndex, s.xonByte,   s.xoffByte};
}

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("wirelet-settings-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        path_ = (dir_ / "Wirelet.ini").string();
    }
    void TearDown() override { fs::remove_all(dir_); }
    void Write(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }
    std::string Read() { return ReadFileText(path_).value_or("<missing>"); }

    fs::path dir_;
    std::string path_;
};

}  // namespace

TEST(Cp1251, EveryAssignedByteMatchesTheSystemConverter)
{
    for (int b = 1; b < 256; ++b) {
        if (b == 0x98)
            continue;  // unassigned in the code page
        const std::string byte(1, static_cast<char>(b));
        EXPECT_EQ(Cp1251ToUtf8(byte), IconvCp1251ToUtf8(byte)) << "byte " << b;
        EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(byte)), byte) << "byte " << b;
    }
}

TEST(Cp1251, UnmappableAndMalformedTextBecomesQuestionMarks)
{
    EXPECT_EQ(Utf8ToCp1251("Ёж 漢 \xF0\x9F\x98\x80!"), "\xA8\xE6 ? ?!");
    EXPECT_EQ(Utf8ToCp1251("a\xD0"), "a?");          // cut short at the end
    EXPECT_EQ(Utf8ToCp1251("\xD0z\xFF"), "?z?");     // bad continuation, invalid lead
    EXPECT_EQ(Cp1251ToUtf8("\x98"), "\xEF\xBF\xBD");  // U+FFFD
    EXPECT_EQ(Utf8ToCp1251("\xEF\xBF\xBD"), "?");
}

TEST(Cp1251, LongerFormsSurrogatesAndValuesPastUnicodeAreMalformed)
{
    EXPECT_EQ(Utf8ToCp1251("a\xC0\x80z"), "a??z");          // a NUL in two bytes
    EXPECT_EQ(Utf8ToCp1251("\xE0\x90\x90"), "???");         // "А" in three bytes
    EXPECT_EQ(Utf8ToCp1251("\xED\xA0\x80"), "???");         // U+D800
    EXPECT_EQ(Utf8ToCp1251("\xF4\x90\x80\x80"), "????");    // U+110000
    EXPECT_EQ(Utf8ToCp1251("\xD0\x90\xE2\x84\x96"), "\xC0\xB9");  // "А№" still converts
}

TEST(CollectSettings, DerivesTheSettingsStringAndHandshakeFromPositions)
{
    const struct {
        SettingsChoices choices;
        const char* mode;
        int32_t handshake;
        const char* flowText;
    } cases[] = {
        {{2, 9, 2, 0, 1, 0, "", ""}, "COM3:4800,E,7,1.5", 3, "Программное ( Xon / Xoff )"},
        {{7, 17, 0, 1, 2, 1, "", ""}, "COM8:128000,O,5,2", 2, "Аппаратное"},
        {{0, 0, 1, 2, 0, 2, "", ""}, "COM1:75,N,6,1", 0, "Нет"},
        {{8, -1, 0, 3, 0, -1, "", ""}, ":,N,5,1", 0, ""},  // no choice keeps letter and mode
    };
    PortSettings s;
    for (const auto& c : cases) {
        CollectSettings(c.choices, s);
        EXPECT_EQ(SettingsString(s), c.mode);
        EXPECT_EQ(s.handshakeMode, c.handshake) << c.mode;
        EXPECT_EQ(s.flowControlText, c.flowText) << c.mode;
    }
    EXPECT_EQ(s.portIndex, -1);
}

TEST_F(SettingsFileTest, KeysAreReadWhateverTheirCaseBlanksAndEncoding)
{
    const std::string variants[] = {
        Utf8ToCp1251("; made by hand\r\nПОРТ=5\r\n[пОРТ]\r\n  ПОРТ\t =  \t3\r\nСКОРОСТЬ=4 baud\n"
                     "байт xon = -2\r\nЧЁТНОСТЬ = 1\r\n[Other]\r\nСтоп Биты = 2\r\n"),
        "\xEF\xBB\xBF[Порт]\nпорт = 3\nскорость=4\nБАЙТ XON=-2\nчётность=1\n",
    };
    for (const std::string& text : variants) {
        PortSettings s;
        ReadSettingsText(text, s);
        EXPECT_EQ(s.portIndex, 3);
        EXPECT_EQ(s.baudIndex, 4);
        EXPECT_EQ(s.xonByte, -2);
        EXPECT_EQ(s.parityIndex, 1);
        EXPECT_EQ(s.stopBitsIndex, 0);  // only in another group
        EXPECT_EQ(s.xoffByte, 13);      // missing
    }
}

TEST_F(SettingsFileTest, GarbageHugeOrUnreadableFilesGiveDefaultsAndStayUntouched)
{
    std::string garbage(10u << 20, '\0');
    for (std::size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<char>((i * 2654435761u) >> 13);
    const std::string contents[] = {"\x01\x02[\xFF\xFE=\r\r\n=\n[", garbage};
    for (const std::string& content : contents) {
        Write(content);
        PortSettings s;
        EXPECT_EQ(LoadSettings(path_, s), 1);
        EXPECT_EQ(Stored(s), Stored(DefaultPortSettings()));
        EXPECT_EQ(Read(), content);
    }
    // Unreadable even for root: a directory, and a link to a file that is
    // not there now (say, on a share not yet mounted). Neither is replaced.
    fs::remove(path_);
    fs::create_directory(path_);
    PortSettings s;
    EXPECT_EQ(LoadSettings(path_, s), 0);
    EXPECT_EQ(Stored(s), Stored(DefaultPortSettings()));
    EXPECT_TRUE(fs::is_directory(path_));
    EXPECT_EQ(SaveSettings(path_, s), 0);
    fs::remove(path_);
    fs::create_symlink(dir_ / "elsewhere" / "Wirelet.ini", path_);
    EXPECT_EQ(LoadSettings(path_, s), 0);
    EXPECT_TRUE(fs::is_symlink(path_));
}

TEST_F(SettingsFileTest, AFifoCountsAsAFileThatCannotBeOpenedAndIsKept)
{
    ASSERT_EQ(::mkfifo(path_.c_str(), 0600), 0);
    auto loading = std::async(std::launch::async, [&] {
        PortSettings s;
        return LoadSettings(path_, s);
    });
    if (loading.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        // Lets the stuck reader go: a writer comes and leaves at once.
        ::close(::open(path_.c_str(), O_WRONLY | O_NONBLOCK));
        FAIL() << "reading a FIFO waits for a writer";
    }
    EXPECT_EQ(loading.get(), 0);
    EXPECT_TRUE(fs::is_fifo(path_)) << "not replaced at start-up";
}

TEST_F(SettingsFileTest, SaveMakesTheFileUsableFollowsLinksAndKeepsReadOnlyFiles)
{
    PortSettings s = DefaultPortSettings();
    const std::string saved = Utf8ToCp1251(kDefaultFileUtf8);

    Write("old");
    ::chmod(path_.c_str(), 0);
    ASSERT_EQ(SaveSettings(path_, s), 1);
    EXPECT_EQ(fs::status(path_).permissions() & fs::perms::owner_all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Read(), saved);

    const fs::path target = dir_ / "real" / "Wirelet.ini";
    fs::create_directories(target.parent_path());
    std::ofstream(target, std::ios::binary) << "old";
    fs::remove(path_);
    fs::create_symlink("real/Wirelet.ini", path_);
    ASSERT_EQ(SaveSettings(path_, s), 1);
    EXPECT_TRUE(fs::is_symlink(path_));
    EXPECT_EQ(ReadFileText(target.string()).value_or(""), saved);
    EXPECT_EQ(std::distance(fs::directory_iterator(target.parent_path()), fs::directory_iterator()), 1);

    fs::remove(path_);
    Write("kept");
    ::chmod(path_.c_str(), 0444);
    EXPECT_EQ(SaveSettings(path_, s), 0);
    EXPECT_EQ(Read(), "kept");
}

TEST_F(SettingsFileTest, SaveReplacesTheWholeFileAndLeavesNoTemporaries)
{
    Write("[Порт]\r\nextra = 1\r\n");
    PortSettings s = DefaultPortSettings();
    s.portIndex = -1;
    s.xonByte = 254;
    ASSERT_EQ(SaveSettings(path_, s), 1);
    std::string expected = kDefaultFileUtf8;
    const auto replace = [&](std::string from, std::string to) { expected.replace(expected.find(from), from.size(), to); };
    replace("Порт = 0", "Порт = -1");
    replace("Xon = 11", "Xon = 254");
    EXPECT_EQ(Read(), Utf8ToCp1251(expected));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
    EXPECT_EQ(SaveSettings((dir_ / "no-such-dir" / "Wirelet.ini").string(), s), 0);
}

TEST_F(SettingsFileTest, FileLivesInTheXdgCacheDirectoryWhichIsCreated)
{
    const std::string cache = (dir_ / "cache" / "deeper").string();
    ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    EXPECT_EQ(SettingsFilePath(), cache + "/Wirelet.ini");
    EXPECT_TRUE(fs::is_directory(cache));
    ::setenv("XDG_CACHE_HOME", "relative/cache", 1);
    ::setenv("HOME", dir_.c_str(), 1);
    EXPECT_EQ(SettingsFilePath(), (dir_ / ".cache" / "Wirelet.ini").string());
}
