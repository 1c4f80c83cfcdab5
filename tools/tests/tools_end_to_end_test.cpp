// The real tool binaries on the virtual programmer, each run in a scratch
// working directory as a newcomer would run them: what they print, what they
// leave on the chip, and their exit codes.
#include "run_program.h"
#include "serial_line.h"
#include "virtual_programmer.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

const std::filesystem::path kBin = BENCH_BIN_DIR;

std::string Box(const std::string& caption, const std::string& text) { return caption + "\n" + text + "\n\n"; }

std::string Lines(std::initializer_list<const char*> values)
{
    std::string text;
    for (const char* v : values)
        text += std::string(v) + "\n";
    return text;
}

const std::string kProgramOneToTen =
    Box("Чтение памяти программ", Lines({"0001", "0002", "0003", "0004", "0005", "0006", "0007", "0008", "0009", "000A"}));
const std::string kDataOneToTen =
    Box("Чтение памяти данных", Lines({"01", "02", "03", "04", "05", "06", "07", "08", "09", "0A"}));
const std::string kProgramErased =
    Box("Чтение памяти программ", Lines({"3FFF", "3FFF", "3FFF", "3FFF", "3FFF", "3FFF", "3FFF", "3FFF", "3FFF", "3FFF"}));
const std::string kDataErased =
    Box("Чтение памяти данных", Lines({"FF", "FF", "FF", "FF", "FF", "FF", "FF", "FF", "FF", "FF"}));
const std::string kProgramZero =
    Box("Чтение памяти программ", Lines({"0000", "0000", "0000", "0000", "0000", "0000", "0000", "0000", "0000", "0000"}));
const std::string kDataZero =
    Box("Чтение памяти данных", Lines({"00", "00", "00", "00", "00", "00", "00", "00", "00", "00"}));
const std::string kNoProgrammer = Box("Ошибка", "Не найден программатор");

std::string IdsText(const char* id1, const char* id2, const char* id3, const char* id4, const char* config)
{
    return Box("Чтение идентификаторов и конфигурации", std::string("Идентификаторы:\n") + id1 + "\n" + id2 + "\n" +
                                                            id3 + "\n" + id4 + "\n\nКонфигурация: " + config);
}

// A scratch bench with Preferences.ini pointing at one virtual fixture.
class Bench : public ::testing::Test {
protected:
    void UsePort(const std::string& port, int delay = 50)
    {
        dir_.Write("Preferences.ini", "; virtual bench\r\nVantrel_Delay = " + std::to_string(delay) +
                                          "\r\nComPortName = " + port + "\r\n");
    }
    std::string Run(const char* tool)
    {
        const ProgramRun run = RunProgram(kBin / tool, dir_.path());
        EXPECT_EQ(run.exitCode, 0) << tool;
        return run.output;
    }
    ScratchDirectory dir_{"tools-e2e"};
};

TEST_F(Bench, ProgramMemoryWrittenThenReadBack)
{
    UsePort("VIRTUAL");
    EXPECT_EQ(Run("pic-read-program"), kProgramErased) << "a new chip is erased";
    EXPECT_EQ(Run("pic-write-program"), Box("Память программ", "Программирование завершено"));
    EXPECT_EQ(Run("pic-read-program"), kProgramOneToTen);
    EXPECT_EQ(Run("pic-read-data"), kDataErased) << "the data memory is another memory";
}

TEST_F(Bench, DataMemoryWrittenThenReadByBothReaders)
{
    UsePort("VIRTUAL");
    EXPECT_EQ(Run("pic-read-data-dyn"), kDataErased);
    EXPECT_EQ(Run("pic-write-data"), Box("Память данных", "Программирование завершено"));
    EXPECT_EQ(Run("pic-read-data"), kDataOneToTen);
    EXPECT_EQ(Run("pic-read-data-dyn"), kDataOneToTen);
    EXPECT_EQ(Run("pic-read-program"), kProgramErased);
}

TEST_F(Bench, IdentifiersAndConfigurationWrittenThenReadBack)
{
    UsePort("VIRTUAL", 200);
    EXPECT_EQ(Run("pic-read-ids"), IdsText("3FFF", "3FFF", "3FFF", "3FFF", "3FFF"));
    EXPECT_EQ(Run("pic-write-ids"), Box("", "Запись идентификаторов и конфигурации завершена"));
    EXPECT_EQ(Run("pic-read-ids"), IdsText("0001", "0002", "0003", "0004", "3FF1"));
}

TEST_F(Bench, EmptySocketReadsWhatTheReleasedDataLineGives)
{
    UsePort("VIRTUAL-EMPTY");
    EXPECT_EQ(Run("pic-read-program"), kProgramErased);
    EXPECT_EQ(Run("pic-read-data-dyn"), kDataErased);
    EXPECT_EQ(Run("pic-read-ids"), IdsText("3FFF", "3FFF", "3FFF", "3FFF", "3FFF"));
    EXPECT_EQ(Run("pic-write-program"), Box("Память программ", "Программирование завершено"));
}

TEST_F(Bench, NoAdapterIsReportedAndTheJobStillRuns)
{
    UsePort("VIRTUAL-NOADAPTER");
    EXPECT_EQ(Run("pic-read-program"), kNoProgrammer + kProgramZero);
    EXPECT_EQ(Run("pic-read-data"), kNoProgrammer + kDataZero);
    EXPECT_EQ(Run("pic-read-data-dyn"), kNoProgrammer + kDataZero);
    EXPECT_EQ(Run("pic-read-ids"), kNoProgrammer + IdsText("0000", "0000", "0000", "0000", "0000"));
    EXPECT_EQ(Run("pic-write-data"), kNoProgrammer + Box("Память данных", "Программирование завершено"));
    EXPECT_EQ(Run("pic-write-ids"), kNoProgrammer + Box("", "Запись идентификаторов и конфигурации завершена"));
}

TEST_F(Bench, APortThatCannotBeOpenedIsTheOnlyMessage)
{
    for (const char* port : {"ttyNOSUCHPORT7", "VIRTUAL-NOSUCHFIXTURE"}) {
        UsePort(port);
        const std::string message = Box("Ошибка", std::string("Не удалось открыть порт ") + port);
        for (const char* tool : {"pic-read-ids", "pic-write-ids", "pic-read-data", "pic-read-data-dyn",
                                 "pic-read-program", "pic-write-data", "pic-write-program"})
            EXPECT_EQ(Run(tool), message) << tool;
    }
}

TEST_F(Bench, APortInUseIsReportedLikeAMissingOne)
{
    UsePort("VIRTUAL");
    // This process holds the bench's virtual port while the tool starts.
    const std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
    const int32_t held = SerialLine_Open("VIRTUAL", HandshakeNone, 1, 1);
    std::filesystem::current_path(home);
    ASSERT_NE(held, 0);
    EXPECT_EQ(Run("pic-write-program"), Box("Ошибка", "Не удалось открыть порт VIRTUAL"));
    // A tool that had reached the adapter anyway would have left its line
    // record when it ended; the chip behind the held port saw no power.
    EXPECT_FALSE(std::filesystem::exists(dir_.path() / "virtual-pic.vcd"));
    for (const sim::LineEvent& e : sim::LastLineRecord())
        EXPECT_FALSE(e.line == sim::Line::Break && e.level) << "target powered at " << e.timeNs << " ns";
    SerialLine_Close(held);
    EXPECT_EQ(Run("pic-read-program"), kProgramErased) << "nothing was written while the port was held";
}

// Output into a pipe whose reader has gone (tool | true): no box can be
// printed, and each path still ends with 0 after doing its work.
TEST_F(Bench, AClosedOutputSkipsTheBoxesAndTheJobStillRuns)
{
    UsePort("VIRTUAL");
    for (const char* tool : {"pic-write-data", "pic-write-ids"})
        EXPECT_EQ(RunProgramIntoClosedPipe(kBin / tool, dir_.path()).exitCode, 0) << tool;
    EXPECT_EQ(Run("pic-read-data"), kDataOneToTen) << "the job ran to its end";
    UsePort("ttyNOSUCHPORT7");
    EXPECT_EQ(RunProgramIntoClosedPipe(kBin / "pic-read-program", dir_.path()).exitCode, 0);
    std::filesystem::remove(dir_.path() / "Preferences.ini");
    std::filesystem::copy_file(kBin / "pic-read-data-dyn", dir_.path() / "pic-read-data-dyn");
    EXPECT_EQ(RunProgramIntoClosedPipe(dir_.path() / "pic-read-data-dyn", dir_.path()).exitCode, 0)
        << "the missing library's box";
}

TEST(DynamicReader, WithoutTheLibraryOnlyItsMessageIsShown)
{
    ScratchDirectory dir("tools-nolib");
    std::filesystem::copy_file(kBin / "pic-read-data-dyn", dir.path() / "pic-read-data-dyn");
    // No Preferences.ini either: the settings are never looked at.
    const ProgramRun run = RunProgram(dir.path() / "pic-read-data-dyn", dir.path());
    EXPECT_EQ(run.output, Box("", "Файл libVantrel_PIC.so.1 не найден!"));
    EXPECT_EQ(run.exitCode, 0);
}

TEST(DynamicReader, AMissingExportCountsAsReturningZero)
{
    ScratchDirectory dir("tools-partlib");
    std::filesystem::copy_file(kBin / "pic-read-data-dyn", dir.path() / "pic-read-data-dyn");
    std::filesystem::copy_file(PARTIAL_LIBRARY, dir.path() / "libVantrel_PIC.so.1");
    dir.Write("Preferences.ini", "ComPortName=VIRTUAL\nVantrel_Delay=20\n");
    const ProgramRun run = RunProgram(dir.path() / "pic-read-data-dyn", dir.path());
    EXPECT_EQ(run.output, kDataZero);
    EXPECT_EQ(run.exitCode, 0);
}

}  // namespace
