// The chip's memory on disk: Intel HEX text, and the file a VIRTUAL port
// reads when it opens and saves when it closes.
#include "wire_host.h"

#include "ini_text.h"

#include <cstring>
#include <fstream>

namespace {

using simtest::WireHost;

bool SameMemory(const sim::ChipMemory& a, const sim::ChipMemory& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::string TextOf(const std::string& path)
{
    return ReadFileText(path).value_or("<missing>");
}

TEST(ChipHex, WritesTheConfigurationRecordByteForByteAndReadsItBack)
{
    sim::ChipMemory memory = sim::ErasedChipMemory();
    memory.config[0] = 1;
    memory.config[1] = 2;
    memory.config[2] = 3;
    memory.config[3] = 4;
    memory.config[7] = 0x3FF1;
    memory.program[0] = 0x2805;
    memory.program[1023] = 0x0000;
    memory.data[63] = 0x42;
    const std::string text = sim::ChipMemoryToHex(memory);

    // Words little-endian from 0x4000 (= 0x2000 x 2); 0x2004/5 read 0x3FFF, 0x2006 is 0x0560.
    // Checksum: 10+40+00+00 = 0x50; data 01+02+03+04 = 0x0A, FF+3F twice = 0x27C,
    // 60+05 = 0x65, F1+3F = 0x130; all together 0x46B; 0x100 - 0x6B = 0x95.
    EXPECT_NE(text.find("\n:104000000100020003000400FF3FFF3F6005F13F95\n"), std::string::npos) << text;
    EXPECT_EQ(text.substr(0, 12), ":10000000052");
    EXPECT_EQ(text.substr(text.size() - 12), ":00000001FF\n");
    // 128 program records, 1 configuration record, 8 data records, the end record.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 138);

    sim::ChipMemory back{};
    std::string error;
    ASSERT_TRUE(sim::ChipMemoryFromHex(text, back, error)) << error;
    EXPECT_TRUE(SameMemory(back, memory));
}

TEST(ChipHex, AcceptsWhatOtherWritersProduce)
{
    // INHX32 upper-address record of 0, lowercase digits, CRLF, blank lines,
    // and only the locations the program uses.
    const std::string text = ":020000040000FA\r\n:020000000528d1\r\n\r\n:00000001ff\r\n\r\n";
    sim::ChipMemory memory{};
    std::string error;
    ASSERT_TRUE(sim::ChipMemoryFromHex(text, memory, error)) << error;
    sim::ChipMemory expected = sim::ErasedChipMemory();
    expected.program[0] = 0x2805;
    EXPECT_TRUE(SameMemory(memory, expected));
}

struct BadHex {
    const char* text;
    const char* error;
};

TEST(ChipHex, RejectsCorruptOrForeignTextWithAReasonAndAnErasedChip)
{
    const BadHex cases[] = {
        {":020000000528D2\n:00000001FF\n", "строка 1: неверная контрольная сумма"},
        {":0200000005G8D1\n:00000001FF\n", "строка 1: недопустимый символ"},
        {"020000000528D1\n:00000001FF\n", "строка 1: запись не начинается с двоеточия"},
        {":030000000528D0\n:00000001FF\n", "строка 1: длина записи"},
        {":020000000528D1\n", "нет записи конца файла"},
        {"", "нет записи конца файла"},
        {":021000000528C1\n:00000001FF\n", "адрес 0x1000 вне памяти"},
        {":020000040001F9\n:00000001FF\n", "расширенный адрес"},
        {":020000020000FC\n:00000001FF\n", "неизвестный тип записи 2"},
        {":00000001FF\n:020000000528D1\n", "строка 2: записи после записи конца файла"},
        {":02000000FFFF00\n:00000001FF\n", "строка 1: слово по адресу 0x0000 шире 14 битов"},
        {":02420000FF01BC\n:00000001FF\n", "строка 1: ячейка данных 0x2100 шире байта"},
        {"\x7f" "ELF\x02\x01\x01", "двоеточия"},
    };
    for (const BadHex& c : cases) {
        sim::ChipMemory memory{};
        memory.program[0] = 0x1234;
        std::string error;
        EXPECT_FALSE(sim::ChipMemoryFromHex(c.text, memory, error)) << c.text;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.text << " gave: " << error;
        EXPECT_TRUE(SameMemory(memory, sim::ErasedChipMemory())) << c.text;
    }
}

class ChipFileTest : public simtest::TempDirTest {};

TEST_F(ChipFileTest, ChipSurvivesClosingAndReopening)
{
    sim::VirtualPort* port = sim::OpenVirtualPort("VIRTUAL");
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(TextOf("virtual-pic.hex"), "");  // created on first use
    WireHost host(port);
    host.PowerOn();
    host.Write(2, 0x1234);
    host.Write(3, 0x0099);
    host.Write(0, 0x0007);
    host.PowerOff();
    sim::CloseVirtualPort(port);

    sim::ChipMemory saved{};
    std::string error;
    ASSERT_TRUE(sim::ChipMemoryFromHex(TextOf("virtual-pic.hex"), saved, error)) << error;
    EXPECT_EQ(saved.program[0], 0x1234);
    EXPECT_EQ(saved.data[0], 0x99);
    EXPECT_EQ(saved.config[0], 0x0007);

    port = sim::OpenVirtualPort("VIRTUAL");
    ASSERT_NE(port, nullptr);
    WireHost again(port);
    again.PowerOn();
    EXPECT_EQ(again.Read(4), 0x1234);
    again.PowerOff();
    sim::CloseVirtualPort(port);
}

TEST_F(ChipFileTest, EmptyFileIsAnErasedChipWithoutComplaint)
{
    WriteText("virtual-pic.hex", "");
    testing::internal::CaptureStderr();
    sim::VirtualPort* port = sim::OpenVirtualPort("VIRTUAL");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_NE(port, nullptr);
    sim::CloseVirtualPort(port);
    EXPECT_EQ(TextOf("virtual-pic.hex"), sim::ChipMemoryToHex(sim::ErasedChipMemory()));
    EXPECT_FALSE(std::filesystem::exists("virtual-pic.hex.bad"));
}

TEST_F(ChipFileTest, CorruptFileIsReportedKeptAsBadAndTheChipStartsErased)
{
    const std::string foreign = ":020000000528D1\n:02000000FFFF00\n:00000001FF\n";
    WriteText("virtual-pic.hex", foreign);
    WriteText("virtual-pic.hex.bad", "older copy");
    testing::internal::CaptureStderr();
    sim::VirtualPort* port = sim::OpenVirtualPort("VIRTUAL");
    const std::string message = testing::internal::GetCapturedStderr();
    ASSERT_NE(port, nullptr);
    EXPECT_NE(message.find((dir_ / "virtual-pic.hex").string()), std::string::npos) << message;
    EXPECT_NE(message.find("строка 2"), std::string::npos) << message;
    EXPECT_NE(message.find("virtual-pic.hex.bad"), std::string::npos) << message;

    WireHost host(port);
    host.PowerOn();
    EXPECT_EQ(host.Read(4), 0x3FFF);  // not the 0x2805 of line 1
    host.Write(2, 0x0042);
    host.PowerOff();
    sim::CloseVirtualPort(port);

    EXPECT_EQ(TextOf("virtual-pic.hex.bad"), foreign);
    sim::ChipMemory expected = sim::ErasedChipMemory();
    expected.program[0] = 0x0042;
    EXPECT_EQ(TextOf("virtual-pic.hex"), sim::ChipMemoryToHex(expected));
}

TEST_F(ChipFileTest, EmptySocketLeavesTheChipFileAlone)
{
    const std::string text = sim::ChipMemoryToHex(sim::ErasedChipMemory());
    WriteText("virtual-pic.hex", "garbage");
    testing::internal::CaptureStderr();
    sim::VirtualPort* port = sim::OpenVirtualPort("VIRTUAL-EMPTY");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_NE(port, nullptr);
    sim::CloseVirtualPort(port);
    EXPECT_EQ(TextOf("virtual-pic.hex"), "garbage");
    EXPECT_FALSE(std::filesystem::exists("virtual-pic.hex.bad"));
    EXPECT_TRUE(std::filesystem::exists("virtual-pic.vcd"));
}

TEST_F(ChipFileTest, UnwritableDirectoryGivesAWorkingErasedChipAndSavesNothing)
{
    // Not even root may create files in /proc.
    std::filesystem::current_path("/proc");
    testing::internal::CaptureStderr();
    sim::VirtualPort* port = sim::OpenVirtualPort("VIRTUAL");
    const std::string message = testing::internal::GetCapturedStderr();
    ASSERT_NE(port, nullptr);
    EXPECT_NE(message.find("/proc/virtual-pic.hex"), std::string::npos) << message;
    EXPECT_EQ(sim::OpenVirtualPort("VIRTUAL"), nullptr);

    WireHost host(port);
    host.PowerOn();
    host.Write(2, 0x0042);
    EXPECT_EQ(host.Read(4), 0x0042);
    host.PowerOff();
    testing::internal::CaptureStderr();
    sim::CloseVirtualPort(port);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(std::filesystem::exists("/proc/virtual-pic.hex"));

    port = sim::OpenVirtualPort("VIRTUAL");  // nothing was left locked or saved
    ASSERT_NE(port, nullptr);
    WireHost again(port);
    again.PowerOn();
    EXPECT_EQ(again.Read(4), 0x3FFF);
    sim::CloseVirtualPort(port);
}

}  // namespace
