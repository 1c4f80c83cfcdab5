// The hex reader and the image built from it: what PIC assemblers write is
// taken, anything else is refused with its line and the reason, and a chip
// read out and written as hex reads back the same. And the chip table as
// files and `info` meet it: chips without a device id, configuration words
// decoded by each chip's own bits.
#include "chip_image.h"
#include "intel_hex.h"
#include "reports.h"

#include <gtest/gtest.h>

namespace {

const ChipInfo& Pic16f84a() { return *ChipByName("PIC16F84A"); }

// Reads text and places it in a PIC16F84A; the error text when anything fails.
std::string Refusal(const std::string& text, int& line)
{
    std::vector<HexData> data;
    HexError error;
    ChipImage image;
    if (ReadIntelHex(text, data, error) && ImageFromHex(Pic16f84a(), data, image, error))
        return "";
    line = error.line;
    return error.what;
}

TEST(IntelHex, TakesWhatGpasmWritesInBothLayouts)
{
    // gpasm's INHX32 output for a small program with EEPROM data, ids and config.
    const std::string inhx32 = ":020000040000FA\r\n:0A000000831686018312860A032886\r\n:084000000100020003000400AE\r\n"
                               ":02400E00F13F80\r\n:084200004800690000007F0086\r\n:00000001FF\r\n";
    const std::string inhx8m = ":0A000000831686018312860A032886\n:084000000100020003000400AE\n"
                               ":02400E00F13F80\n:084200004800690000007F0086\n:00000001FF\n\n";
    // As other tools write it: a byte-order mark, CR alone, start addresses, segment addressing.
    const std::string foreign = "\xEF\xBB\xBF:0A000000831686018312860A032886\r:0400000300000000F9\r"
                                ":084000000100020003000400AE\r:020000020400F8\r:02000E00F13FC0\r:020000020000FC\r"
                                ":084200004800690000007F0086\r:0400000500000000F7\r:00000001FF\r";
    for (const std::string& text : {inhx32, inhx8m, foreign}) {
        std::vector<HexData> data;
        HexError error;
        ASSERT_TRUE(ReadIntelHex(text, data, error)) << DescribeHexError(error);
        ChipImage image;
        ASSERT_TRUE(ImageFromHex(Pic16f84a(), data, image, error)) << DescribeHexError(error);
        EXPECT_EQ(image.program[0].value, 0x1683);
        EXPECT_EQ(image.program[4].value, 0x2803);
        EXPECT_FALSE(image.program[5].held);
        EXPECT_EQ(image.data[1].value, 0x69);
        EXPECT_EQ(image.data[3].value, 0x7F);
        EXPECT_EQ(image.ids[3].value, 4);
        EXPECT_EQ(image.config.value, 0x3FF1);
        const HeldCounts held = CountHeld(image);
        EXPECT_EQ(held.program, 5);
        EXPECT_EQ(held.data, 4);
        EXPECT_EQ(held.ids, 4);
        EXPECT_TRUE(held.config);
    }
}

TEST(IntelHex, RefusesBrokenFilesWithTheirLine)
{
    struct Case {
        const char* text;
        int line;
        const char* reason;
    };
    const Case cases[] = {
        {":0A000000831686018312860A032886\n:02400E00F13F81\n:00000001FF\n", 2, "контрольная сумма"},
        {":020000040000FA\n:0A0000008316860183\n:00000001FF\n", 2, "короче"},
        {":0400000083168601CE00\n:00000001FF\n", 1, "длиннее"},
        {":02000000FF3FC0\n:02000000FF3G00\n:00000001FF\n", 2, "недопустимый символ «G»"},
        {"0A000000831686018312860A032886\n:00000001FF\n", 1, "двоеточия"},
        {":020000\n:00000001FF\n", 1, "короче наименьшей"},
        {":020000060000F8\n:00000001FF\n", 1, "неизвестный тип записи 06"},
        {":02000000FF3FC0\r:02000000FF3G00\r\n:00000001FF\r", 2, "недопустимый символ «G»"},
        {":00000001FF\n:02000000FF3FC0\n", 2, "после записи конца"},
        {":02000000FF3FC0\n\n", 1, "без записи конца"},
        {"", 0, "пуст"},
        // Word 0x0400 is one past the program memory.
        {":02000000FF3FC0\n:02080000FF3FB8\n:00000001FF\n", 2, "адрес 0x0400 (байт 0x0800) вне памяти PIC16F84A"},
        // An upper address of 1 puts everything far beyond the chip.
        {":020000040001F9\n:02000000FF3FC0\n:00000001FF\n", 2, "вне памяти"},
        {":02000000FF7F80\n:00000001FF\n", 1, "шире 14 битов"},
        {":0242000041007B\n:02420200423F39\n:00000001FF\n", 2, "не помещается в байт"},
        {":0140000001BE\n:00000001FF\n", 1, "только младший байт"},
        {":020000000128D5\n:020000000228D4\n:00000001FF\n", 2, "уже задан другим значением в строке 1"},
        {":02400800341270\n:00000001FF\n", 1, "нет записываемой памяти"},
    };
    for (const Case& c : cases) {
        int line = -1;
        const std::string reason = Refusal(c.text, line);
        EXPECT_NE(reason.find(c.reason), std::string::npos) << c.text << " gave: " << reason;
        EXPECT_EQ(line, c.line) << c.text;
    }
}

TEST(IntelHex, KeepsWhatTheChipAnswersForItsReservedWords)
{
    int line = -1;
    // 0x2004-0x2006 as a chip read-out carries them: erased, and the device id.
    EXPECT_EQ(Refusal(":0E4000000100020003000400FF3FFF3F6005C7\n:00000001FF\n", line), "");
}

TEST(IntelHex, AChipWrittenAsHexReadsBackTheSame)
{
    ChipImage image = EmptyImage(Pic16f84a());
    for (size_t i = 0; i < image.program.size(); ++i)
        image.program[i] = {static_cast<uint16_t>((i * 37 + 5) & 0x3FFF), true};
    for (size_t i = 0; i < image.data.size(); ++i)
        image.data[i] = {static_cast<uint16_t>(i ^ 0xA5), true};
    for (size_t i = 0; i < image.ids.size(); ++i)
        image.ids[i] = {static_cast<uint16_t>(i + 1), true};
    image.config = {0x3FF1, true};

    const std::string text = WriteIntelHex(HexOfImage(Pic16f84a(), image));
    EXPECT_EQ(text.substr(0, 16), ":020000040000FA\n");
    std::vector<HexData> data;
    HexError error;
    ChipImage back;
    ASSERT_TRUE(ReadIntelHex(text, data, error)) << DescribeHexError(error);
    ASSERT_TRUE(ImageFromHex(Pic16f84a(), data, back, error)) << DescribeHexError(error);
    for (size_t i = 0; i < image.program.size(); ++i)
        ASSERT_EQ(back.program[i].value, image.program[i].value) << i;
    for (size_t i = 0; i < image.data.size(); ++i)
        ASSERT_EQ(back.data[i].value, image.data[i].value) << i;
    EXPECT_EQ(back.ids[2].value, 3);
    EXPECT_EQ(back.config.value, 0x3FF1);

    // Past 64 KB the writer opens a new page with another address record.
    const HexData far[] = {{0x1FFF8, std::vector<uint8_t>(16, 0x11), 0}};
    const std::string paged = WriteIntelHex(far);
    ASSERT_TRUE(ReadIntelHex(paged, data, error)) << DescribeHexError(error);
    ASSERT_EQ(data.size(), 2u);
    EXPECT_EQ(data[0].address, 0x1FFF8u);
    EXPECT_EQ(data[1].address, 0x20000u);
}

std::string ConfigLine(const char* chip, uint16_t config, const char* field)
{
    const std::string text = InfoText(ChipByName(chip), {{0x3FFF, 0x3FFF, 0x3FFF, 0x3FFF}, 0x3FFF, config});
    const size_t at = text.find(std::string("  ") + field + ": ");
    return at == std::string::npos ? text : text.substr(at + 2, text.find('\n', at) - at - 2);
}

TEST(ChipTable, ChipsWithoutADeviceIdAreNeverFoundByOneNorTakeOneFromAFile)
{
    for (const uint16_t word : {0x3FFF, 0x0000, 0x1234, 0x0560 ^ 0x0400})
        EXPECT_EQ(ChipByDeviceId(word), nullptr) << std::hex << word;
    ASSERT_NE(ChipByDeviceId(0x07C3), nullptr);
    EXPECT_STREQ(ChipByDeviceId(0x07C3)->name, "PIC16F628");

    // 0x2006 holding the PIC16F84A's id: its own file, not the PIC16F84's.
    const std::string text = ":02000000FF3FC0\n:02400C0060054D\n:00000001FF\n";
    std::vector<HexData> data;
    HexError error;
    ChipImage image;
    ASSERT_TRUE(ReadIntelHex(text, data, error));
    EXPECT_TRUE(ImageFromHex(Pic16f84a(), data, image, error)) << DescribeHexError(error);
    EXPECT_FALSE(ImageFromHex(*ChipByName("PIC16F84"), data, image, error));
    EXPECT_NE(error.what.find("по адресу 0x2006 у PIC16F84 нет записываемой памяти"), std::string::npos) << error.what;
    // The PIC16C84 keeps bits 4:0 of what gpasm writes (_CP_OFF & _PWRTE_ON & _WDT_OFF & _XT_OSC).
    ASSERT_TRUE(ReadIntelHex(":02400E00F93F78\n:00000001FF\n", data, error));
    ASSERT_TRUE(ImageFromHex(*ChipByName("pic16c84"), data, image, error)) << DescribeHexError(error);
    EXPECT_EQ(image.config.value, 0x0019);
}

TEST(ChipTable, InfoDecodesEachChipsOwnConfigurationBits)
{
    // gpasm's _CP_50: both CP1:CP0 pairs 10, the upper half on the PIC16F628, nothing on the PIC16F627.
    EXPECT_EQ(ConfigLine("PIC16F628", 0x2BFF & 0x3DFF, "защита кода"), "защита кода: включена, 0x0400–0x07FF");
    EXPECT_EQ(ConfigLine("PIC16F627", 0x2BFF & 0x3DFF, "защита кода"), "защита кода: выключена");
    EXPECT_EQ(ConfigLine("PIC16F628", 0x03FF & 0x3DFF, "защита кода"), "защита кода: включена, вся память");
    EXPECT_EQ(ConfigLine("PIC16F628", 0x35FF & 0x3DFF, "защита кода"),
              "защита кода: недопустимое сочетание битов 0x3400") << "the two pairs differ";
    // _FOSC_ERIO: the PIC16F62x has an external resistor where the PIC16F62xA has RC.
    EXPECT_EQ(ConfigLine("PIC16F628", 0x3FFE & 0x3DFF, "генератор"), "генератор: ER, RA6 — ввод-вывод");
    // The power-up timer bit: active low on the PIC16F84, active high on the PIC16C84.
    EXPECT_EQ(ConfigLine("PIC16F84", 0x3FF7, "таймер включения питания"), "таймер включения питания: включён");
    EXPECT_EQ(ConfigLine("PIC16C84", 0x0017, "таймер включения питания"), "таймер включения питания: выключен");
    EXPECT_EQ(ConfigLine("PIC16C84", 0x000F, "защита кода"), "защита кода: включена");
    EXPECT_NE(InfoText(ChipByName("PIC16C84"), {{}, 0x3FFF, 0x001F}).find("Устройство: PIC16C84 по --device"),
              std::string::npos);
    // gpasm's _WRT_256 and _WRT_512: the same bits, ranges of each chip's own size.
    EXPECT_EQ(ConfigLine("PIC16F88", 0x3DFF, "защита от самозаписи"), "защита от самозаписи: включена, 0x0000–0x00FF");
    EXPECT_EQ(ConfigLine("PIC16F819", 0x3DFF, "защита от самозаписи"), "защита от самозаписи: включена, 0x0000–0x01FF");
    // CONFIG2 of the PIC16F87/88 from its own word, with four revision bits; none on the PIC16F818/819.
    const std::string info = InfoText(ChipByName("PIC16F88"), {{}, 0x0768, 0x3FFF, 0x0001});
    EXPECT_NE(info.find("ревизия 8"), std::string::npos) << info;
    EXPECT_NE(info.find("Конфигурация 2: 0001\n  монитор тактового генератора: включён\n"
                        "  переключение генераторов при запуске: выключено\n"),
              std::string::npos) << info;
    EXPECT_EQ(InfoText(ChipByName("PIC16F819"), {{}, 0x04E0, 0x3FFF, 0x0001}).find("Конфигурация 2"), std::string::npos);
    EXPECT_EQ(ChipByDeviceId(0x0770), nullptr) << "a fifth revision bit names no chip";
}

}  // namespace
