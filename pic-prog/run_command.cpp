#include "run_command.h"

#include "atomic_file.h"
#include "chip_image.h"
#include "chip_jobs.h"
#include "console.h"
#include "hex_format.h"
#include "ini_text.h"
#include "link_state.h"
#include "programmer_settings.h"
#include "reports.h"
#include "vantrel_pic.h"

#include <chrono>
#include <filesystem>

namespace {

// A hex file for a chip of this family is a few kilobytes.
constexpr size_t kMaxHexFileBytes = 4u << 20;

void Say(const std::string& text) { PrintError("pic-prog: " + text + "\n"); }

int Fail(int code, const std::string& text)
{
    Say(text);
    return code;
}

// Read whole and valid, and placeable in a chip it may be meant for, before
// anything is opened.
bool LoadHexFile(const CommandLine& line, std::vector<HexData>& data, std::string& problem)
{
    const std::optional<std::string> text = ReadFileText(line.file, kMaxHexFileBytes + 1);
    if (!text) {
        problem = "не удаётся прочитать файл " + line.file;
        return false;
    }
    if (text->size() > kMaxHexFileBytes) {
        problem = line.file + ": файл больше " + std::to_string(kMaxHexFileBytes >> 20) + " МБ, это не прошивка PIC";
        return false;
    }
    HexError error;
    if (!ReadIntelHex(*text, data, error)) {
        problem = line.file + ": " + DescribeHexError(error);
        return false;
    }
    HexError firstError;
    for (const ChipInfo& chip : KnownChips()) {
        if (line.device != nullptr && line.device != &chip)
            continue;
        ChipImage image;
        if (ImageFromHex(chip, data, image, error))
            return true;
        if (firstError.what.empty())
            firstError = error;
    }
    problem = line.file + ": " + DescribeHexError(firstError);
    return false;
}

bool CheckOutputFile(const CommandLine& line, std::string& problem)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    // The name is UTF-8; a plain narrow path would go through Windows' ANSI code page.
    const fs::path path(std::u8string(line.file.begin(), line.file.end()));
    if (fs::is_directory(path, ec)) {
        problem = line.file + " — это каталог";
        return false;
    }
    if (fs::exists(fs::symlink_status(path, ec)) && !line.force) {
        problem = "файл " + line.file + " уже есть; чтобы заменить его, добавьте --force";
        return false;
    }
    const fs::path parent = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    if (!fs::is_directory(parent, ec)) {
        const std::u8string name = parent.u8string();
        problem = "нет каталога " + std::string(name.begin(), name.end());
        return false;
    }
    return true;
}

// Preferences.ini as the tools read it, with --port and --delay on top.
std::string LoadSettings(const CommandLine& line)
{
    std::optional<ProgrammerSettings> settings = ReadProgrammerSettings();
    if (!settings) {
        settings = ProgrammerSettings{};
        std::string used;
        if (!line.port)
            used += "порт " + settings->portName + ", ";
        if (!line.delay)
            used += "задержка " + std::to_string(settings->delay) + " мкс, ";
        Say("файл Preferences.ini не найден; по умолчанию: " + used + "линии без инверсии");
    }
    if (line.port)
        settings->portName = *line.port;
    if (line.delay)
        settings->delay = *line.delay;
    Vantrel_Init(settings->delay, settings->dataOutInv, settings->dataInInv, settings->clockInv, settings->powerInv);
    return settings->portName;
}

const ChipInfo* Identify(const CommandLine& line, const ConfigArea& area, std::string& problem)
{
    const ChipInfo* found = ChipByDeviceId(area.deviceId);
    if (line.device != nullptr) {
        if (found != nullptr && found != line.device) {
            problem = "в адаптере " + std::string(found->name) + ", а указано --device " + line.device->name;
            return nullptr;
        }
        return line.device;
    }
    if (found != nullptr)
        return found;
    if (DeviceIdAbsent(area.deviceId))
        problem = "идентификатор устройства не прочитан (" + FormatWord4(area.deviceId) +
                  "): в адаптере нет микросхемы, или у неё нет идентификатора, как у PIC16F84; "
                  "если это она, укажите --device PIC16F84A";
    else
        problem = "неизвестное устройство с идентификатором " + FormatWord4(area.deviceId) +
                  "; если вы знаете, что это, укажите --device";
    return nullptr;
}

// What happened on the chip, reported once the port is closed.
struct Work {
    ConfigArea area;
    const ChipInfo* chip = nullptr;
    int exitCode = kExitDone;
    std::string problem;
    ChipImage image;  // from the file, or as read
    std::vector<Mismatch> mismatches;
    double seconds = 0;
};

const char* ProgressLabel(Command command)
{
    switch (command) {
    case Command::Read: return "Чтение";
    case Command::Write: return "Запись";
    case Command::Verify: return "Проверка";
    case Command::Erase: return "Стирание";
    default: return "";
    }
}

JobResult RunJob(Wire& wire, const CommandLine& line, Work& work)
{
    const ChipInfo& chip = *work.chip;
    switch (line.command) {
    case Command::Read: return ReadImage(wire, chip, work.area, work.image);
    case Command::Write: return WriteImage(wire, chip, work.image, line.verify, work.mismatches);
    case Command::Verify: return CompareImage(wire, chip, work.area, work.image, work.mismatches);
    case Command::Erase: return EraseImage(wire, chip, line.verify, work.mismatches);
    default: return JobResult::Done;
    }
}

// Priced on a dry wire first, so the bar knows how long the whole job takes.
JobResult RunJobWithProgress(Wire& wire, Progress& progress, const CommandLine& line, Work& work)
{
    Wire dry = wire;
    dry.dry = true;
    dry.idealUs = 0;
    Work scratch = work;
    RunJob(dry, line, scratch);
    StartProgress(progress, ProgressLabel(line.command), dry.idealUs, StandardErrorIsTerminal(), TerminalColumns());
    wire.progress = &progress;
    const JobResult result = RunJob(wire, line, work);
    wire.progress = nullptr;
    return result;
}

JobResult WorkOnChip(Wire& wire, Progress& progress, const CommandLine& line, const std::vector<HexData>& hex,
                     Work& work)
{
    const ChipInfo& layout = line.device != nullptr ? *line.device : KnownChips().front();
    if (ReadConfigArea(wire, layout, work.area) == JobResult::Interrupted)
        return JobResult::Interrupted;
    work.chip = Identify(line, work.area, work.problem);
    if (work.chip == nullptr) {
        work.exitCode = kExitNoTarget;
        return JobResult::Done;
    }
    if (line.command == Command::Info)
        return JobResult::Done;
    if (line.command == Command::Write || line.command == Command::Verify) {
        HexError error;
        if (!ImageFromHex(*work.chip, hex, work.image, error)) {
            work.exitCode = kExitUsage;
            work.problem = line.file + ": " + DescribeHexError(error);
            work.chip = nullptr;
            return JobResult::Done;
        }
    }
    return RunJobWithProgress(wire, progress, line, work);
}

int Report(const CommandLine& line, const Work& work)
{
    if (line.command == Command::Info)
        PrintOut(InfoText(work.chip, work.area));
    if (work.chip == nullptr || work.exitCode != kExitDone)
        return Fail(work.exitCode, work.problem);
    if (line.command == Command::Info)
        return kExitDone;
    const ChipInfo& chip = *work.chip;
    const std::string took = " за " + Seconds(work.seconds);
    if ((line.command == Command::Read || line.command == Command::Verify) && CodeProtected(chip, work.area.config))
        Say("включена защита кода: память программ и данных читается не такой, какая она есть");
    if (line.command == Command::Read) {
        if (!WriteFileAtomically(line.file, WriteIntelHex(HexOfImage(chip, work.image))))
            return Fail(kExitUsage, "не удалось записать файл " + line.file);
        Say(std::string(chip.name) + " прочитан в " + line.file + took + ": " + HeldSummary(CountHeld(work.image)));
        return kExitDone;
    }
    if (!work.mismatches.empty()) {
        PrintOut(MismatchList(chip, work.mismatches));
        return Fail(kExitDifferences, "найдено различий: " + std::to_string(work.mismatches.size()));
    }
    const bool checked = line.verify || line.command == Command::Verify;
    switch (line.command) {
    case Command::Write:
        Say(std::string(chip.name) + (checked ? " записан и проверен" : " записан без проверки") + took + ": " +
            HeldSummary(CountHeld(work.image)));
        break;
    case Command::Verify:
        Say(std::string(chip.name) + " совпадает с файлом, проверено" + took + ": " + HeldSummary(CountHeld(work.image)));
        break;
    default:
        Say(std::string(chip.name) + (checked ? " стёрт и проверен" : " стёрт без проверки") + took);
        break;
    }
    return kExitDone;
}

int RunOnTarget(const CommandLine& line, const std::string& port, const std::vector<HexData>& hex)
{
    if (InterruptRequested())
        EndAsInterrupted();
    if (OpenCom_Port(port.c_str()) == 0)
        return Fail(kExitNoTarget, "не удалось открыть порт " + port);
    if (Vantrel_Test() == 0) {
        CloseCom_Port();
        return Fail(kExitNoTarget, "на порту " + port + " не найден программатор");
    }
    const auto start = std::chrono::steady_clock::now();
    Wire wire;
    wire.bitDelay = CurrentLinkState().BitDelay;
    wire.interrupted = InterruptRequested;
    Progress progress;
    Work work;
    const JobResult result = WorkOnChip(wire, progress, line, hex, work);
    PowerOff(wire);
    CloseCom_Port();
    EndProgress(progress);
    work.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (result == JobResult::Interrupted) {
        Say(std::string("прервано: питание микросхемы выключено, порт закрыт") +
            (line.command == Command::Write || line.command == Command::Erase ? "; микросхема записана не до конца"
                                                                              : ""));
        EndAsInterrupted();
    }
    return Report(line, work);
}

}  // namespace

int RunCommand(const CommandLine& line)
{
    std::vector<HexData> hex;
    std::string problem;
    if ((line.command == Command::Write || line.command == Command::Verify) && !LoadHexFile(line, hex, problem))
        return Fail(kExitUsage, problem);
    if (line.command == Command::Read && !CheckOutputFile(line, problem))
        return Fail(kExitUsage, problem);
    InstallInterruptHandler();
    const std::string port = LoadSettings(line);
    return RunOnTarget(line, port, hex);
}
