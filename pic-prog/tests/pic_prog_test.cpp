// pic-prog as a user runs it, on the virtual programmer in a scratch
// directory: a program assembled with gpasm written, read back and verified,
// what the wires saw while it was written, broken files, a changed chip,
// Ctrl+C, and the exit codes.
#include "chip_image.h"
#include "intel_hex.h"
#include "run_pic_prog.h"
#include "virtual_programmer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <sstream>
#include <sys/stat.h>

namespace {

using Kind = sim::ChipEvent::Kind;

const ChipInfo& Pic16f84a() { return *ChipByName("PIC16F84A"); }

// Code at both ends of program memory, EEPROM data, identifiers and configuration.
const char* const kProgram = R"(        list    p=16f84a
        #include <p16f84a.inc>
        errorlevel -302
        __CONFIG _CP_OFF & _WDT_OFF & _PWRTE_ON & _XT_OSC
        __IDLOCS 0x1234
        org     0
start:  bsf     STATUS, RP0
        clrf    TRISB
        bcf     STATUS, RP0
loop:   incf    PORTB, f
        goto    loop
        org     0x3FF
        retlw   0x5A
        org     0x2100
        de      "Hi", 0x00, 0x7F
        end
)";

ChipImage ImageOfText(const std::string& text)
{
    std::vector<HexData> data;
    HexError error;
    ChipImage image = EmptyImage(Pic16f84a());
    EXPECT_TRUE(ReadIntelHex(text, data, error) && ImageFromHex(Pic16f84a(), data, image, error))
        << DescribeHexError(error);
    return image;
}

struct Record {
    std::vector<sim::LineEvent> lines;
    std::vector<sim::ChipEvent> chip;
    size_t Count(Kind kind) const
    {
        return static_cast<size_t>(std::ranges::count(chip, kind, &sim::ChipEvent::kind));
    }
};

class PicProg : public ::testing::Test {
protected:
    PicProgRun Run(std::vector<std::string> args, const RunOptions& options = {})
    {
        return RunPicProg(dir_.path, args, options);
    }
    void UseVirtualProgrammer(int delay) { dir_.Write("Preferences.ini", "ComPortName = VIRTUAL\nVantrel_Delay = " + std::to_string(delay) + "\n"); }
    // gpasm's output for kProgram, as prog.hex.
    std::string Assemble()
    {
        dir_.Write("prog.asm", kProgram);
        const std::string command = "cd '" + dir_.path.string() + "' && gpasm -q -o prog.hex prog.asm";
        EXPECT_EQ(std::system(command.c_str()), 0) << "gpasm missing? scripts/install-deps installs gputils";
        return dir_.Read("prog.hex");
    }
    Record LineRecord()
    {
        Record record;
        record.lines = sim::ReadVcd((dir_.path / "virtual-pic.vcd").string());
        record.chip = sim::ReplayLineRecord(record.lines);
        EXPECT_FALSE(record.lines.empty());
        return record;
    }
    ScratchDir dir_{"pic-prog"};
};

// Every cycle is left alone for the longest time the chip may take: no clock
// edge before then.
void ExpectFullCycles(const Record& record)
{
    uint32_t previous = 0;
    for (const sim::ChipEvent& e : record.chip) {
        if (e.kind != Kind::Command)
            continue;
        const bool bulk = e.value == 8 && (previous == 9 || previous == 11);
        previous = e.value;
        if (e.value != 8 && e.value != 24)
            continue;
        const auto next = std::ranges::find_if(record.lines, [&](const sim::LineEvent& l) {
            return l.line == sim::Line::Rts && l.level && l.timeNs > e.timeNs;
        });
        ASSERT_NE(next, record.lines.end());
        EXPECT_GE(next->timeNs - e.timeNs, bulk ? 10'000'000 : 8'000'000) << "command " << e.value << " at " << e.timeNs;
    }
}

TEST_F(PicProg, WritesAnAssembledProgramReadsItBackAndVerifiesIt)
{
    const ChipImage wanted = ImageOfText(Assemble());
    UseVirtualProgrammer(10);

    const PicProgRun write = Run({"write", "prog.hex"});
    EXPECT_EQ(write.exitCode, 0) << write.err;
    EXPECT_EQ(std::ranges::count(write.err, '\n'), 1) << "one summary line when standard error is no terminal:\n" << write.err;
    EXPECT_NE(write.err.find("записан и проверен"), std::string::npos) << write.err;

    // Erase, then only the fifteen locations that differ from erased.
    const Record record = LineRecord();
    EXPECT_EQ(record.Count(Kind::CycleStart), 2u + 6 + 4 + 4 + 1);
    EXPECT_EQ(record.Count(Kind::CycleDone), record.Count(Kind::CycleStart));
    EXPECT_EQ(record.Count(Kind::CycleSpoiled), 0u);
    ExpectFullCycles(record);
    EXPECT_EQ(record.Count(Kind::PowerOn), record.Count(Kind::PowerOff));
    EXPECT_TRUE(sim::ViolationsIn(record.lines).empty()) << "no rule of the chip broken on the wires";

    const PicProgRun read = Run({"read", "back.hex"});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    const ChipImage back = ImageOfText(dir_.Read("back.hex"));
    for (size_t i = 0; i < back.program.size(); ++i)
        ASSERT_EQ(back.program[i].value, wanted.program[i].value) << "program word " << i;
    for (size_t i = 0; i < back.data.size(); ++i)
        ASSERT_EQ(back.data[i].value, wanted.data[i].value) << "data byte " << i;
    for (size_t i = 0; i < back.ids.size(); ++i)
        EXPECT_EQ(back.ids[i].value, wanted.ids[i].value) << "identifier " << i;
    EXPECT_EQ(back.config.value, 0x3FF1);

    const PicProgRun verify = Run({"verify", "prog.hex"});
    EXPECT_EQ(verify.exitCode, 0) << verify.err;
    const PicProgRun info = Run({"info"});
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("Устройство: PIC16F84A, ревизия 0"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Идентификаторы: 0001 0002 0003 0004\nКонфигурация: 3FF1\n  генератор: XT\n"),
              std::string::npos) << info.out;
}

TEST_F(PicProg, VerifyNamesTheWordThatChangedOnTheChip)
{
    Assemble();
    // No Preferences.ini: the port comes from the command line, and the defaults are named.
    const PicProgRun write = Run({"write", "prog.hex", "--port", "VIRTUAL", "--delay=10"});
    ASSERT_EQ(write.exitCode, 0) << write.err;
    EXPECT_NE(write.err.find("Preferences.ini не найден; по умолчанию: линии без инверсии"), std::string::npos) << write.err;

    ChipImage chip = ImageOfText(dir_.Read("virtual-pic.hex"));
    chip.program[2] = {0x0123, true};
    dir_.Write("virtual-pic.hex", WriteIntelHex(HexOfImage(Pic16f84a(), chip)));

    const PicProgRun verify = Run({"--port=VIRTUAL", "--delay", "10", "verify", "prog.hex"});
    EXPECT_EQ(verify.exitCode, 1) << verify.err;
    EXPECT_EQ(verify.out, "память программ, адрес 0x0002: нужно 0x1283, прочитано 0x0123\n");
    EXPECT_NE(verify.err.find("найдено различий: 1"), std::string::npos) << verify.err;
}

// The file without the line of one address: every record but that one.
std::string WithoutRecordAt(const std::string& hex, const std::string& address)
{
    std::istringstream in(hex);
    std::string kept;
    for (std::string line; std::getline(in, line);)
        if (line.substr(3, 4) != address)
            kept += line + "\n";
    return kept;
}

TEST_F(PicProg, SaysMatchesOnlyForTheChipTheFileDescribes)
{
    const std::string hex = Assemble();
    UseVirtualProgrammer(10);
    ASSERT_EQ(Run({"write", "prog.hex"}).exitCode, 0);

    // The chip still holds the EEPROM bytes the shorter file no longer gives.
    dir_.Write("code.hex", WithoutRecordAt(hex, "4200"));
    const PicProgRun whole = Run({"verify", "code.hex"});
    EXPECT_EQ(whole.exitCode, 1) << whole.err;
    EXPECT_NE(whole.out.find("адрес 0x2100: нужно 0xFF, прочитано 0x48"), std::string::npos) << whole.out;
    EXPECT_NE(whole.err.find("найдено различий: 4"), std::string::npos) << whole.err;
    const PicProgRun onlyFile = Run({"verify", "--only-file", "-"}, {.standardInput = dir_.path / "code.hex"});
    EXPECT_EQ(onlyFile.exitCode, 0) << onlyFile.err;
    // Firmware that keeps calibration in the EEPROM is rewritten around it.
    const PicProgRun keep = Run({"write", "--keep-data", "code.hex"});
    EXPECT_EQ(keep.exitCode, 0) << keep.err;
    EXPECT_EQ(Run({"verify", "prog.hex"}).exitCode, 0) << "the EEPROM bytes the file lacks are still there";

    // What the virtual chip cannot keep, or what silicon would not have taken, is no success.
    const PicProgRun fast = Run({"write", "prog.hex", "--delay", "0"});
    EXPECT_EQ(fast.exitCode, 1) << fast.err;
    EXPECT_NE(fast.err.find("на линиях нарушены времена микросхемы"), std::string::npos) << fast.err;
    EXPECT_EQ(fast.err.find("записан и проверен"), std::string::npos) << fast.err;

    const PicProgRun out = Run({"read", "-"});
    ASSERT_EQ(out.exitCode, 0) << out.err;
    const ChipImage back = ImageOfText(out.out);
    EXPECT_EQ(back.program[0].value, 0x1683);
    EXPECT_EQ(back.data[0].value, 0x48);
    EXPECT_EQ(out.err.find(':'), out.err.find("pic-prog:") + 8) << "no HEX on standard error:\n" << out.err;

    const PicProgRun dry = Run({"erase", "--dry-run"});
    EXPECT_EQ(dry.exitCode, 0) << dry.err;
    EXPECT_NE(dry.err.find("пробный запуск, микросхема не изменена: PIC16F84A был бы стёрт"), std::string::npos) << dry.err;
    const PicProgRun used = Run({"blank-check"});
    EXPECT_EQ(used.exitCode, 1) << used.err;
    EXPECT_TRUE(used.out.starts_with("память программ, адрес 0x0000: нужно 0x3FFF, прочитано 0x1683\n")) << used.out;

    ::chmod((dir_.path / "virtual-pic.hex").c_str(), 0444);
    const PicProgRun unsaved = Run({"erase"});
    EXPECT_EQ(unsaved.exitCode, 3) << unsaved.err;
    EXPECT_NE(unsaved.err.find("память виртуальной микросхемы не сохранена"), std::string::npos) << unsaved.err;
}

TEST_F(PicProg, BrokenFilesAreRefusedWithTheirLineBeforeThePortIsOpened)
{
    const std::pair<const char*, const char*> files[] = {
        {":020000040000FA\n:0A000000831686018312860A032886\n:02400E00F13F81\n:00000001FF\n", "bad-sum.hex: строка 3: неверная контрольная сумма"},
        {":020000040000FA\n:0A000000831686018312\n:00000001FF\n", "short.hex: строка 2: запись короче"},
        {":020000040000FA\n:0A000000831686018312860A032886\n\n:02080000FF3FB8\n:00000001FF\n", "beyond.hex: строка 4: адрес 0x0400"},
    };
    for (const auto& [text, message] : files) {
        const std::string name = std::string(message).substr(0, std::string(message).find(':'));
        dir_.Write(name, text);
        for (const char* command : {"write", "verify"}) {
            const PicProgRun run = Run({command, name, "--port", "VIRTUAL", "--device", "PIC16F84A"});
            EXPECT_EQ(run.exitCode, 2) << name;
            EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir_.path / "virtual-pic.vcd")) << "the chip was never touched";
}

TEST_F(PicProg, CtrlCInTheMiddleLeavesTheTargetUnpowered)
{
    ChipImage image = EmptyImage(Pic16f84a());
    for (size_t i = 0; i < 300; ++i)
        image.program[i] = {static_cast<uint16_t>(0x3000 | i), true};
    dir_.Write("big.hex", WriteIntelHex(HexOfImage(Pic16f84a(), image)));
    UseVirtualProgrammer(20);

    const PicProgRun run = Run({"write", "big.hex"}, {.interruptAfterMs = 2000});
    EXPECT_EQ(run.signal, SIGINT) << "ends as interrupted, exit code " << run.exitCode;
    EXPECT_NE(run.err.find("прервано: питание микросхемы выключено, порт закрыт"), std::string::npos) << run.err;

    const Record record = LineRecord();
    const size_t done = record.Count(Kind::CycleDone);
    EXPECT_GT(done, 2u) << "interrupted while programming, after the erase";
    EXPECT_LT(done, 2u + 300 + 5) << "interrupted before the end";
    EXPECT_EQ(record.Count(Kind::CycleSpoiled), 0u) << "a cycle under way was let finish";
    EXPECT_TRUE(sim::ViolationsIn(record.lines).empty());
    // Switched off by the program: clock and data low for the 40 ms before the
    // power falls (the port's closing would drop all three at once).
    const auto powerOff = std::ranges::find_if(record.lines.rbegin(), record.lines.rend(), [](const sim::LineEvent& e) {
        return e.line == sim::Line::Break && !e.level;
    });
    ASSERT_NE(powerOff, record.lines.rend());
    for (auto e = std::next(powerOff); e != record.lines.rend(); ++e) {
        if (e->line == sim::Line::Rts || e->line == sim::Line::Dtr) {
            EXPECT_FALSE(e->level);
            EXPECT_GE(powerOff->timeNs - e->timeNs, 35'000'000);
            break;
        }
    }
    EXPECT_TRUE(std::none_of(record.lines.rbegin(), powerOff, [](const sim::LineEvent& e) {
        return e.line == sim::Line::Break && e.level;
    })) << "power stays off";
}

TEST_F(PicProg, ALongBitTimingNeitherHangsNorHoldsOffAnInterruption)
{
    UseVirtualProgrammer(2147483647);
    const PicProgRun huge = Run({"info"});
    EXPECT_EQ(huge.exitCode, 2) << huge.err;
    EXPECT_NE(huge.err.find("Vantrel_Delay в Preferences.ini: нужно целое число микросекунд от 0 до 1000000, а не «2147483647»"),
              std::string::npos) << huge.err;

    // A second per bit: reading the identifiers alone would take minutes.
    UseVirtualProgrammer(1000000);
    const PicProgRun run = Run({"info"}, {.interruptAfterMs = 600});
    EXPECT_EQ(run.signal, SIGINT) << run.err;
    EXPECT_NE(run.err.find("прервано: питание микросхемы выключено, порт закрыт"), std::string::npos) << run.err;
    const Record record = LineRecord();
    ASSERT_FALSE(record.lines.empty());
    EXPECT_LT(record.lines.back().timeNs, 5'000'000'000) << "ended within the bit that was under way, not the word";
    EXPECT_EQ(record.Count(Kind::PowerOn), record.Count(Kind::PowerOff));
}

TEST_F(PicProg, ExitCodesSayWhatWentWrong)
{
    Assemble();
    dir_.Write("taken.hex", "keep me");
    dir_.Write("no-data.hex", ":020000040000FA\n:00000001FF\n");
    ASSERT_EQ(::mkfifo((dir_.path / "fifo").c_str(), 0600), 0);
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {
        {{}, 2, "не указана команда"},
        {{"write", "--port", "VIRTUAL"}, 2, "команде write нужен файл .hex"},
        {{"info", "--delay", "2ms", "--port", "VIRTUAL"}, 2, "--delay: нужно целое число"},
        {{"erase", "--device", "PIC16F877A", "--port", "VIRTUAL"}, 2, "неизвестная микросхема «PIC16F877A»"},
        {{"erase", "--force", "--port", "VIRTUAL"}, 2, "--force действует только с командой read или вместе с --device"},
        {{"read", "taken.hex", "--port", "VIRTUAL"}, 2, "файл taken.hex уже есть; чтобы заменить его, добавьте --force"},
        {{"write", "missing.hex", "--port", "VIRTUAL"}, 2, "не удаётся прочитать файл missing.hex: нет такого файла"},
        {{"verify", ".", "--port", "VIRTUAL"}, 2, "не удаётся прочитать файл .: это каталог"},
        {{"write", "no-data.hex", "--port", "VIRTUAL"}, 2, "в файле no-data.hex нет данных"},
        {{"read", "--force", "fifo", "--port", "VIRTUAL"}, 2, "fifo — не обычный файл"},
        {{"read", "/proc/pic-prog.hex", "--port", "VIRTUAL", "--delay", "10"}, 2, "в каталог /proc нельзя записать"},
        {{"read", "new.hex", "--no-verify", "--port", "VIRTUAL"}, 2, "--no-verify действует только с командами"},
        {{"erase", "--only-file", "--port", "VIRTUAL"}, 2, "--only-file действует только с командами"},
        {{"erase", "--config", "--port", "VIRTUAL"}, 2, "--config без --program: микросхема стирает"},
        {{"erase", "--program", "--config", "--port", "VIRTUAL-PIC16F84", "--device", "PIC16F84", "--delay", "10"}, 2,
         "PIC16F84 стирает идентификаторы и слово конфигурации только вместе со всей микросхемой"},
        {{"info", "--data", "--port", "VIRTUAL"}, 2, "info их не читает"},
        {{"write", "prog.hex", "--data", "--keep-data", "--port", "VIRTUAL"}, 2, "--keep-data не сочетается"},
        {{"erase", "--no-verify", "--port", "virtual", "--delay", "10"}, 0, "PIC16F84A стёрт без проверки"},
        {{"blank-check", "--port", "VIRTUAL-EMPTY", "--device", "PIC16F84A", "--delay", "10"}, 0, "PIC16F84A пуст"},
        {{"info", "--port", "ttyNOSUCHPORT7"}, 3, "не удалось открыть порт ttyNOSUCHPORT7: нет такого устройства"},
        {{"write", "prog.hex", "--port", "VIRTUAL-NOADAPTER"}, 3, "на порту VIRTUAL-NOADAPTER не найден программатор"},
        {{"write", "prog.hex", "--port", "VIRTUAL-EMPTY"}, 3, "идентификатор устройства не прочитан (3FFF)"},
        {{"verify", "prog.hex", "--port", "VIRTUAL-EMPTY", "--device", "pic16f84a", "--delay", "10"}, 1,
         "найдено различий: 15"},
    };
    for (const Case& c : cases) {
        const PicProgRun run = Run(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    EXPECT_EQ(dir_.Read("taken.hex"), "keep me");
}

// Each region alone: written, erased, read and compared without touching the others.
TEST_F(PicProg, RegionOptionsKeepToTheirRegions)
{
    Assemble();
    UseVirtualProgrammer(10);
    ASSERT_EQ(Run({"write", "prog.hex"}).exitCode, 0);

    const PicProgRun eraseData = Run({"erase", "--data"});
    EXPECT_EQ(eraseData.exitCode, 0) << eraseData.err;
    EXPECT_NE(eraseData.err.find("стёрт и проверен"), std::string::npos) << eraseData.err;
    EXPECT_EQ(Run({"verify", "prog.hex", "--program", "--config"}).exitCode, 0) << "program memory kept";
    const PicProgRun whole = Run({"verify", "prog.hex"});
    EXPECT_EQ(whole.exitCode, 1) << whole.err;
    EXPECT_TRUE(whole.out.starts_with("память данных, адрес 0x2100: нужно 0x48, прочитано 0xFF\n")) << whole.out;

    const PicProgRun writeData = Run({"write", "--data", "prog.hex"});
    EXPECT_EQ(writeData.exitCode, 0) << writeData.err;
    const Record record = LineRecord();
    EXPECT_EQ(std::ranges::count_if(record.chip, [](const sim::ChipEvent& e) {
                  return e.kind == Kind::Command && (e.value == 2 || e.value == 9);
              }), 0) << "nothing loaded into or erased from program memory";
    EXPECT_EQ(Run({"verify", "prog.hex"}).exitCode, 0);

    ASSERT_EQ(Run({"erase", "--program"}).exitCode, 0);
    const PicProgRun program = Run({"verify", "--program", "prog.hex"});
    EXPECT_EQ(program.exitCode, 1) << program.err;
    EXPECT_EQ(program.out.find("память данных"), std::string::npos) << program.out;
    EXPECT_NE(program.err.find("найдено различий: 6"), std::string::npos) << program.err;
    const PicProgRun read = Run({"read", "--data", "--config", "back.hex"});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    std::vector<HexData> blocks;
    HexError error;
    ASSERT_TRUE(ReadIntelHex(dir_.Read("back.hex"), blocks, error));
    EXPECT_TRUE(std::ranges::none_of(blocks, [](const HexData& b) { return b.address < 0x4000 && !b.bytes.empty(); }))
        << "no program memory in the file";
    const ChipImage back = ImageOfText(dir_.Read("back.hex"));
    EXPECT_EQ(back.data[0].value, 0x48);
    EXPECT_EQ(back.config.value, 0x3FF1);
}

TEST_F(PicProg, ShowsABarOnATerminal)
{
    UseVirtualProgrammer(10);
    // The blank check reads the whole chip: long enough for the bar to move.
    const PicProgRun run = Run({"erase"}, {.stderrOnTerminal = true});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const size_t first = run.err.find("\rСтирание [");
    ASSERT_NE(first, std::string::npos) << run.err;
    EXPECT_NE(run.err.find("\rСтирание [#", first + 1), std::string::npos) << "redrawn as the work goes on:\n" << run.err;
    EXPECT_NE(run.err.find(" %  осталось 0:0"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("\rpic-prog: PIC16F84A стёрт и проверен"), std::string::npos) << "the bar is cleared first";
}

}  // namespace

// The chips besides the PIC16F84A, each on its own virtual chip: a program
// assembled for it (code at both ends, EEPROM data at both ends, identifiers,
// configuration) written, read back and verified; info naming the chip and
// its configuration bits; a file too large for it refused before the port
// opens; another chip named with --device refused unless --force, and a
// chip without a device id named only by --device.
struct ChipCase {
    const char* name;
    const char* config;       // the __CONFIG operands
    uint16_t configWord;      // what the chip holds for them
    const char* oscillator;   // how info names the oscillator they choose
    const char* config2 = nullptr;  // the second configuration word's, on a chip that has one
    uint16_t config2Word = 0;
};

constexpr const char* kFlashConfig =
    "_CP_OFF & _CPD_OFF & _LVP_OFF & _BOREN_ON & _MCLRE_OFF & _PWRTE_ON & _WDT_OFF & _FOSC_INTOSCIO";
constexpr const char* kPic16x84Config = "_CP_OFF & _WDT_OFF & _PWRTE_ON & _XT_OSC";
constexpr const char* kConfig2 = "_FCMEN_OFF & _IESO_OFF";
constexpr const char* kPic16f8xIntrc = "INTRC, RA6 и RA7 — ввод-вывод";

void PrintTo(const ChipCase& chip, std::ostream* os) { *os << chip.name; }

class PicProgChip : public PicProg, public ::testing::WithParamInterface<ChipCase> {
protected:
    const ChipInfo& Chip() const { return *ChipByName(GetParam().name); }
    std::string Port() const { return std::string("VIRTUAL-") + GetParam().name; }
    // Chips without a device id are named on every run.
    PicProgRun RunOnChip(std::vector<std::string> args)
    {
        if (!HasDeviceId(Chip()))
            args.insert(args.end(), {"--device", GetParam().name});
        return Run(args);
    }
    std::string AssembleForChip()
    {
        const ChipInfo& chip = Chip();
        std::string lower = chip.name + 3;  // "16F628A"
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const std::string config = GetParam().config2 == nullptr
                                       ? std::string(GetParam().config)
                                       : std::string("_CONFIG1, ") + GetParam().config +
                                             "\n        __CONFIG _CONFIG2, " + GetParam().config2;
        char source[1024];
        std::snprintf(source, sizeof source,
                      "        #include <p%s.inc>\n"
                      "        __CONFIG %s\n"
                      "        __IDLOCS 0x1234\n"
                      "        org     0\n"
                      "loop:   incf    PORTB, f\n"
                      "        goto    loop\n"
                      "        org     0x%X\n"
                      "        retlw   0x5A\n"
                      "        org     0x2100\n"
                      "        de      \"Hi\"\n",
                      lower.c_str(), config.c_str(), chip.programWords - 1);
        // gpasm misplaces an org inside data memory; fill up to the last byte instead.
        std::string text = source;
        for (int i = 2; i < chip.dataBytes - 1; ++i)
            text += "        de      0xFF\n";
        text += "        de      0x7E\n        end\n";
        dir_.Write("prog.asm", text);
        const std::string command = "cd '" + dir_.path.string() + "' && gpasm -q -p" + lower + " -o prog.hex prog.asm";
        EXPECT_EQ(std::system(command.c_str()), 0) << text;
        return dir_.Read("prog.hex");
    }
    ChipImage ImageFor(const std::string& text)
    {
        std::vector<HexData> data;
        HexError error;
        ChipImage image;
        EXPECT_TRUE(ReadIntelHex(text, data, error) && ImageFromHex(Chip(), data, image, error))
            << DescribeHexError(error);
        return image;
    }
};

TEST_P(PicProgChip, RefusesAFileLargerThanTheChipBeforeOpeningThePort)
{
    // One word just past the end of program memory.
    const uint32_t byteAddress = static_cast<uint32_t>(Chip().programWords) * 2;
    char record[64];
    const unsigned sum = 0x100 - ((2 + (byteAddress >> 8) + (byteAddress & 0xFF) + 0xFF + 0x3F) & 0xFF);
    std::snprintf(record, sizeof record, ":02%04X00FF3F%02X\n:00000001FF\n", byteAddress, sum & 0xFF);
    dir_.Write("big.hex", record);
    const PicProgRun run = Run({"write", "big.hex", "--device", GetParam().name, "--port", Port()});
    EXPECT_EQ(run.exitCode, 2) << run.err;
    char address[32];
    std::snprintf(address, sizeof address, "адрес 0x%04X", Chip().programWords);
    EXPECT_NE(run.err.find(address), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir_.path / "virtual-pic.vcd")) << "the port was opened";
}

TEST_P(PicProgChip, WritesReadsBackVerifiesAndNamesTheChip)
{
    const ChipImage wanted = ImageFor(AssembleForChip());
    dir_.Write("Preferences.ini", "ComPortName = " + Port() + "\nVantrel_Delay = 10\n");
    const std::string name = GetParam().name;

    const PicProgRun write = RunOnChip({"write", "prog.hex"});
    ASSERT_EQ(write.exitCode, 0) << write.err;
    EXPECT_TRUE(sim::ViolationsIn(LineRecord().lines).empty()) << "no rule of the chip broken on the wires";

    const PicProgRun read = RunOnChip({"read", "back.hex"});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    const ChipImage back = ImageFor(dir_.Read("back.hex"));
    ASSERT_EQ(back.program.size(), static_cast<size_t>(Chip().programWords));
    ASSERT_EQ(back.data.size(), static_cast<size_t>(Chip().dataBytes));
    for (size_t i = 0; i < back.program.size(); ++i)
        ASSERT_EQ(back.program[i].value, wanted.program[i].value) << "program word " << i;
    for (size_t i = 0; i < back.data.size(); ++i)
        ASSERT_EQ(back.data[i].value, wanted.data[i].value) << "data byte " << i;
    for (size_t i = 0; i < back.ids.size(); ++i)
        EXPECT_EQ(back.ids[i].value, wanted.ids[i].value) << "identifier " << i;
    EXPECT_EQ(back.program.back().value, 0x345A);
    EXPECT_EQ(back.data.back().value, 0x7E);
    EXPECT_EQ(back.config.value, GetParam().configWord);
    EXPECT_EQ(back.config2.held, GetParam().config2 != nullptr);
    EXPECT_EQ(back.config2.value, GetParam().config2Word);

    EXPECT_EQ(RunOnChip({"verify", "prog.hex"}).exitCode, 0);
    const PicProgRun info = RunOnChip({"info"});
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("Устройство: " + name + (HasDeviceId(Chip()) ? ", ревизия 0" : " по --device")),
              std::string::npos) << info.out;
    std::vector<std::string> lines{std::string("генератор: ") + GetParam().oscillator, "сторожевой таймер: выключен",
                                   "таймер включения питания: включён", "защита кода: выключена"};
    if (GetParam().config == kFlashConfig)
        lines.insert(lines.end(), {"MCLR: выключен", "низковольтное программирование: выключено",
                                   "защита EEPROM данных: выключена"});
    if (GetParam().config2 != nullptr)
        lines.insert(lines.end(), {"Конфигурация 2: 0000", "монитор тактового генератора: выключен",
                                   "переключение генераторов при запуске: выключено"});
    for (const std::string& line : lines)
        EXPECT_NE(info.out.find(line), std::string::npos) << line << "\n" << info.out;

    if (!HasDeviceId(Chip())) {
        // Nothing to tell it by: without --device pic-prog says so and does nothing.
        const PicProgRun unnamed = Run({"erase"});
        EXPECT_EQ(unnamed.exitCode, 3) << unnamed.err;
        EXPECT_NE(unnamed.err.find("у неё нет идентификатора (PIC16F84, PIC16C84)"), std::string::npos) << unnamed.err;
        EXPECT_EQ(Run({"verify", "prog.hex", "--device", name}).exitCode, 0) << "not erased";
    } else {
        // Another chip named by the user: refused, unless forced.
        const char* other = Chip().programWords == 1024 ? "PIC16F628A" : "PIC16F627A";
        const PicProgRun wrong = Run({"info", "--device", other});
        EXPECT_EQ(wrong.exitCode, 2) << wrong.err;
        EXPECT_NE(wrong.err.find("в адаптере " + name), std::string::npos) << wrong.err;
        EXPECT_EQ(Run({"info", "--device", other, "--force"}).exitCode, 0);
    }
    if (Chip().commands.endProgramming != 0) {
        // Program memory alone: its bulk erase, ended by End Programming, checked blank.
        const PicProgRun program = RunOnChip({"erase", "--program"});
        EXPECT_EQ(program.exitCode, 0) << program.err;
        EXPECT_EQ(RunOnChip({"verify", "--data", "--config", "prog.hex"}).exitCode, 0) << "data and configuration kept";
    }
    // The chip's own erase sequence, read back blank: code, data, identifiers, configuration.
    const PicProgRun erase = RunOnChip({"erase"});
    EXPECT_EQ(erase.exitCode, 0) << erase.err;
    EXPECT_TRUE(sim::ViolationsIn(LineRecord().lines).empty());
}

INSTANTIATE_TEST_SUITE_P(Chips, PicProgChip,
                         ::testing::Values(ChipCase{"PIC16F627A", kFlashConfig, 0x2150, "INTOSC, RA6 — ввод-вывод"},
                                           ChipCase{"PIC16F628A", kFlashConfig, 0x2150, "INTOSC, RA6 — ввод-вывод"},
                                           ChipCase{"PIC16F648A", kFlashConfig, 0x2150, "INTOSC, RA6 — ввод-вывод"},
                                           ChipCase{"PIC16F627", kFlashConfig, 0x3D50, "INTRC, RA6 — ввод-вывод"},
                                           ChipCase{"PIC16F628", kFlashConfig, 0x3D50, "INTRC, RA6 — ввод-вывод"},
                                           // The PIC16C84's power-up timer bit is active high.
                                           ChipCase{"PIC16F84", kPic16x84Config, 0x3FF1, "XT"},
                                           ChipCase{"PIC16C84", kPic16x84Config, 0x0019, "XT"},
                                           // Written in rows of four words, CONFIG2 on the PIC16F87/88.
                                           ChipCase{"PIC16F87", kFlashConfig, 0x3F50, kPic16f8xIntrc, kConfig2, 0},
                                           ChipCase{"PIC16F88", kFlashConfig, 0x3F50, kPic16f8xIntrc, kConfig2, 0},
                                           ChipCase{"PIC16F818", kFlashConfig, 0x3F50, kPic16f8xIntrc},
                                           ChipCase{"PIC16F819", kFlashConfig, 0x3F50, kPic16f8xIntrc}),
                         [](const auto& info) { return std::string(info.param.name); });

// Each chip that can protect its memory, on its own virtual chip: a file that
// turns protection on is written and checked before the protection takes
// hold; afterwards verify and read leave the protected memory out and say so
// with exit code 1, a partial erase is refused, and erase clears the chip.
class PicProgProtection : public PicProgChip {};

TEST_P(PicProgProtection, ProtectedMemoryIsNeverReportedAsReadOrMatching)
{
    const ChipInfo& chip = Chip();
    ChipImage image = EmptyImage(chip);
    image.program.front() = {0x1234, true};
    image.program.back() = {0x0ABC, true};
    image.data.front() = {0x42, true};
    for (size_t i = 0; i < image.ids.size(); ++i)
        image.ids[i] = {static_cast<uint16_t>(i + 1), true};
    image.config = {static_cast<uint16_t>(chip.configMask & ~chip.codeProtectionMask & ~chip.dataProtectionMask), true};
    dir_.Write("locked.hex", WriteIntelHex(HexOfImage(chip, image)));
    dir_.Write("Preferences.ini", "ComPortName = " + Port() + "\nVantrel_Delay = 10\n");
    // Named, for the chips that carry no device id.
    const auto Run = [this](std::vector<std::string> args) {
        args.insert(args.end(), {"--device", GetParam().name});
        return PicProg::Run(args);
    };

    const PicProgRun write = Run({"write", "locked.hex"});
    EXPECT_EQ(write.exitCode, 0) << write.err;
    EXPECT_NE(write.err.find("записанное после проверки"), std::string::npos) << write.err;

    const PicProgRun verify = Run({"verify", "locked.hex"});
    EXPECT_EQ(verify.exitCode, 1) << verify.err;
    EXPECT_EQ(verify.err.find("совпадает"), std::string::npos) << verify.err;
    const std::string memories = chip.dataProtectionMask != 0 ? "память программ и данных" : "память программ";
    EXPECT_NE(verify.err.find(memories + " защищена"), std::string::npos) << verify.err;
    EXPECT_NE(verify.err.find("с файлом она не сравнивалась"), std::string::npos) << verify.err;

    const PicProgRun read = Run({"read", "back.hex"});
    EXPECT_EQ(read.exitCode, 1) << read.err;
    EXPECT_NE(read.err.find("в файл она не записана"), std::string::npos) << read.err;
    const ChipImage back = ImageFor(dir_.Read("back.hex"));
    EXPECT_FALSE(back.program.front().held) << "protected memory is not in the file";
    EXPECT_EQ(back.config.value, image.config.value);
    EXPECT_EQ(back.ids.back().value, image.ids.back().value);

    const PicProgRun part = Run({"erase", "--data"});
    EXPECT_EQ(part.exitCode, 2) << part.err;
    EXPECT_NE(part.err.find("только стиранием всей микросхемы"), std::string::npos) << part.err;
    const PicProgRun erase = Run({"erase"});
    EXPECT_EQ(erase.exitCode, 0) << erase.err;
    EXPECT_NE(erase.err.find("стёрт и проверен"), std::string::npos) << erase.err;
    EXPECT_EQ(Run({"blank-check"}).exitCode, 0);
}

std::vector<ChipCase> ProtectableChips()
{
    std::vector<ChipCase> chips;
    for (const ChipInfo& chip : KnownChips())
        if (chip.codeProtectionMask != 0)
            chips.push_back(ChipCase{chip.name, "", 0, ""});
    return chips;
}

INSTANTIATE_TEST_SUITE_P(KnownChips, PicProgProtection, ::testing::ValuesIn(ProtectableChips()),
                         [](const auto& info) { return std::string(info.param.name); });
