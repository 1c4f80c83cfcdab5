#include "run_command.h"

#include "atomic_file.h"
#include "chip_image.h"
#include "chip_jobs.h"
#include "console.h"
#include "hex_format.h"
#include "ini_text.h"
#include "link_state.h"
#include "link_timing.h"
#include "programmer_settings.h"
#include "reports.h"
#include "vantrel_pic.h"
#include "virtual_programmer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

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
std::optional<std::string> ReadStandardInput(size_t limit)
{
    std::string text;
    char buffer[65536];
    while (text.size() < limit) {
        const size_t n = std::fread(buffer, 1, sizeof buffer, stdin);
        text.append(buffer, n);
        if (n < sizeof buffer)
            break;
    }
    if (std::ferror(stdin))
        return std::nullopt;
    return text;
}

std::filesystem::path PathOf(const std::string& utf8)
{
    // A plain narrow path would go through Windows' ANSI code page.
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string UnreadableFileReason(const std::string& name, int error)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(PathOf(name), ec);
    std::string reason;
    if (name == "-")
        reason = "стандартный ввод не читается";
    else if (status.type() == fs::file_type::not_found)
        reason = "нет такого файла";
    else if (fs::is_directory(status))
        reason = "это каталог";
    else if (fs::exists(status) && !fs::is_regular_file(status))
        reason = "не обычный файл";
    else if (error == EACCES)
        reason = "нет прав на чтение";
    else
        reason = ErrorNumberText(error);
    return "не удаётся прочитать файл " + name + (reason.empty() ? "" : ": " + reason);
}

// Why the port did not open, as the system said it.
std::string PortProblem(const std::string& port, int error)
{
    std::string text = "не удалось открыть порт " + port;
    if (sim::IsVirtualPortName(port))
        return text + ": такого виртуального порта нет, или он занят другим запуском в этом каталоге";
    switch (error) {
    case 0: return text;
    case ENOENT:
    case ENODEV:
    case ENXIO: return text + ": нет такого устройства";
    case EACCES:
    case EPERM:
        return text + ": нет прав (" + ErrorNumberText(error) +
               "); в Linux добавьте себя в группу dialout (sudo usermod -aG dialout $USER) и войдите в систему заново";
    case EBUSY: return text + ": порт занят другой программой";
    default: return text + ": " + ErrorNumberText(error);
    }
}

bool HasData(const std::vector<HexData>& data)
{
    return std::ranges::any_of(data, [](const HexData& block) { return !block.bytes.empty(); });
}

bool LoadHexFile(const CommandLine& line, std::vector<HexData>& data, std::string& problem)
{
    errno = 0;
    const std::optional<std::string> text =
        line.file == "-" ? ReadStandardInput(kMaxHexFileBytes + 1) : ReadFileText(line.file, kMaxHexFileBytes + 1);
    if (!text) {
        problem = UnreadableFileReason(line.file, errno);
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
    // Erasing a chip for a file without a single data byte loses the chip for nothing.
    if (!HasData(data)) {
        problem = "в файле " + line.file + " нет данных";
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

// A file of our own beside the output, created and removed again: the only
// sure test that the output can be written there, made before the chip is read.
bool FolderTakesFiles(const std::filesystem::path& folder)
{
    const std::filesystem::path probe = folder / ".pic-prog-write-test.tmp";
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(probe, ec)))
        return true;  // left by another run; the real write reports its own failure
    const bool created = std::ofstream(probe, std::ios::binary).is_open();
    std::filesystem::remove(probe, ec);
    return created;
}

bool CheckOutputFile(const CommandLine& line, std::string& problem)
{
    namespace fs = std::filesystem;
    if (line.file == "-")
        return true;
    std::error_code ec;
    // The name is UTF-8; a plain narrow path would go through Windows' ANSI code page.
    const fs::path path(std::u8string(line.file.begin(), line.file.end()));
    const fs::file_status status = fs::status(path, ec);
    if (fs::is_directory(status)) {
        problem = line.file + " — это каталог";
        return false;
    }
    // A link is followed and its target replaced; only an ordinary file may be.
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        problem = line.file + " — не обычный файл (устройство, канал или сокет); его pic-prog не заменяет";
        return false;
    }
    if (fs::exists(fs::symlink_status(path, ec)) && !line.force) {
        problem = "файл " + line.file + " уже есть; чтобы заменить его, добавьте --force";
        return false;
    }
    const fs::path parent = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    const std::u8string parentName = parent.u8string();
    if (!fs::is_directory(parent, ec)) {
        problem = "нет каталога " + std::string(parentName.begin(), parentName.end());
        return false;
    }
    if (!FolderTakesFiles(parent)) {
        problem = "в каталог " + std::string(parentName.begin(), parentName.end()) + " нельзя записать файл";
        return false;
    }
    return true;
}

// Preferences.ini as the tools read it, with --port and --delay on top. A
// unit delay out of range is refused as --delay's is: at two billion
// microseconds a single bit would take half an hour.
bool LoadSettings(const CommandLine& line, std::string& port, std::string& problem)
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
    else if (settings->delay < 0 || settings->delay > kMaxDelay) {
        problem = DelayProblem("Vantrel_Delay в Preferences.ini", std::to_string(settings->delay));
        return false;
    }
    Vantrel_Init(settings->delay, settings->dataOutInv, settings->dataInInv, settings->clockInv, settings->powerInv);
    port = settings->portName;
    return true;
}

std::string ChipsWithoutId()
{
    std::string names;
    for (const ChipInfo& chip : KnownChips())
        if (!HasDeviceId(chip))
            names += (names.empty() ? "" : ", ") + std::string(chip.name);
    return names;
}

// A chip named with --device that its device id contradicts is a mistake of
// the user (exit 2): programming it with the wrong sizes and times could
// spoil it. --force takes the user's word.
const ChipInfo* Identify(const CommandLine& line, const ConfigArea& area, std::string& problem, int& exitCode)
{
    const ChipInfo* found = ChipByDeviceId(area.deviceId);
    exitCode = kExitNoTarget;
    if (line.device != nullptr) {
        if (found != nullptr && found != line.device && !line.force) {
            problem = "в адаптере " + std::string(found->name) + " (идентификатор устройства " +
                      FormatWord4(area.deviceId) + "), а указано --device " + line.device->name +
                      "; если вы уверены, добавьте --force";
            exitCode = kExitUsage;
            return nullptr;
        }
        return line.device;
    }
    if (found != nullptr)
        return found;
    if (DeviceIdAbsent(area.deviceId))
        problem = "идентификатор устройства не прочитан (" + FormatWord4(area.deviceId) +
                  "): в адаптере нет микросхемы, или у неё нет идентификатора (" + ChipsWithoutId() +
                  "); такую микросхему назовите с --device";
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
    std::vector<sim::LineEvent> violations;  // rules of the chip the virtual one saw broken
    std::string unsaved;                     // why the virtual chip's memory was not kept
    Regions regions;                         // what the job works on
    bool clearProtection = false;            // the erase must take the chip's protection away
    Regions unreadable{false, false, false};  // chosen, but protected: not read nor compared
};

const char* ProgressLabel(Command command)
{
    switch (command) {
    case Command::Read: return "Чтение";
    case Command::Write: return "Запись";
    case Command::Verify: return "Проверка";
    case Command::Erase: return "Стирание";
    case Command::BlankCheck: return "Проверка чистоты";
    default: return "";
    }
}

Extent ExtentOf(const CommandLine& line) { return line.onlyFile ? Extent::FileOnly : Extent::WholeChip; }

std::string Milliseconds(int64_t ns)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f мс", static_cast<double>(ns) / 1e6);
    return text;
}

// A run the silicon would not have survived is no success on the model either.
std::string ViolationText(const std::vector<sim::LineEvent>& violations)
{
    std::string text = "на линиях нарушены времена микросхемы (" + std::to_string(violations.size()) +
                       " раз), настоящая микросхема могла работать не так; первые:";
    for (size_t i = 0; i < violations.size() && i < 5; ++i)
        text += std::string(i == 0 ? " " : ", ") + sim::LineName(violations[i].line) + " в " +
                Milliseconds(violations[i].timeNs);
    return text + "; увеличьте задержку (--delay)";
}

JobResult RunJob(Wire& wire, const CommandLine& line, Work& work)
{
    const ChipInfo& chip = *work.chip;
    switch (line.command) {
    case Command::Read: return ReadImage(wire, chip, work.area, work.regions, work.image);
    case Command::Write:
        if (line.keepData) {
            if (ReadDataMemory(wire, chip, work.image.data) == JobResult::Interrupted)
                return JobResult::Interrupted;
            for (ImageCell& cell : work.image.data)
                cell.held = true;
        }
        return WriteImage(wire, chip, work.image, line.verify, ExtentOf(line), work.regions, work.clearProtection,
                          work.mismatches);
    case Command::Verify:
        return CompareImage(wire, chip, work.area, work.image, ExtentOf(line), work.regions, work.mismatches);
    case Command::Erase: return EraseImage(wire, chip, work.regions, work.clearProtection, line.verify, work.mismatches);
    case Command::BlankCheck:
        return CompareImage(wire, chip, work.area, EmptyImage(chip), Extent::WholeChip, work.regions, work.mismatches);
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

// "память программ", "память данных" or both.
std::string MemoriesNamed(Regions regions)
{
    if (regions.program && regions.data)
        return "память программ и данных";
    return regions.program ? "память программ" : "память данных";
}

// Only an erase of the whole chip clears protection, and protected memory
// reads as something else: write and erase of a protected chip must take the
// whole chip, and the other commands leave protected memory alone.
bool PlanForProtection(const CommandLine& line, Work& work)
{
    const ChipInfo& chip = *work.chip;
    Regions locked{CodeProtected(chip, work.area.config), DataProtected(chip, work.area.config), false};
    work.regions = line.regions;
    if (line.command == Command::Write || line.command == Command::Erase) {
        // The setup sequence and Chip Erase take identifiers and
        // configuration word only with everything else.
        if (ConfigErasedOnlyWithWholeChip(chip) && line.regions.config && !line.regions.All()) {
            work.exitCode = kExitUsage;
            work.problem = std::string(chip.name) +
                           " стирает идентификаторы и слово конфигурации только вместе со всей микросхемой; "
                           "добавьте --program и --data или уберите --config";
            return false;
        }
        work.clearProtection = locked.program || locked.data;
        if (work.clearProtection && !line.regions.All()) {
            work.exitCode = kExitUsage;
            work.problem = "в " + std::string(chip.name) + " включена защита (" + MemoriesNamed(locked) +
                           "); снять её можно только стиранием всей микросхемы: уберите --program, --data и --config";
            return false;
        }
        if (line.keepData && locked.data) {
            work.exitCode = kExitUsage;
            work.problem = "память данных " + std::string(chip.name) +
                           " защищена и не читается, --keep-data сохранил бы не её содержимое";
            return false;
        }
        return true;
    }
    work.unreadable = {line.regions.program && locked.program, line.regions.data && locked.data, false};
    work.regions.program = line.regions.program && !locked.program;
    work.regions.data = line.regions.data && !locked.data;
    return true;
}

// Said whenever protected memory was left out: the rest of the result is no
// statement about it.
std::string ProtectedNote(const Work& work, Command command)
{
    const Regions& r = work.unreadable;
    const std::string kind = r.program && r.data ? "защита кода и данных" : r.program ? "защита кода" : "защита данных";
    const char* what = command == Command::Read     ? "в файл она не записана"
                       : command == Command::Verify ? "с файлом она не сравнивалась"
                                                    : "её чистота не проверена";
    return MemoriesNamed(r) + " защищена (" + kind + "): микросхема не отдаёт её содержимое, " + what;
}

// " — только память данных" when the user chose regions.
std::string RegionNote(const CommandLine& line)
{
    if (!line.regionsGiven || line.regions.All())
        return "";
    std::string text;
    const auto add = [&text](const char* part) { text += (text.empty() ? "" : ", ") + std::string(part); };
    if (line.regions.program)
        add("память программ");
    if (line.regions.data)
        add("память данных");
    if (line.regions.config)
        add("идентификаторы и конфигурация");
    return " — только " + text;
}

JobResult WorkOnChip(Wire& wire, Progress& progress, const CommandLine& line, const std::vector<HexData>& hex,
                     Work& work)
{
    const ChipInfo& layout = line.device != nullptr ? *line.device : KnownChips().front();
    if (ReadConfigArea(wire, layout, work.area) == JobResult::Interrupted)
        return JobResult::Interrupted;
    int refusal = kExitNoTarget;
    work.chip = Identify(line, work.area, work.problem, refusal);
    if (work.chip == nullptr) {
        work.exitCode = refusal;
        return JobResult::Done;
    }
    // The second configuration word was not in the layout the chip was identified by.
    if (work.chip->config2Mask != 0 && layout.config2Mask == 0 &&
        ReadConfigArea(wire, *work.chip, work.area) == JobResult::Interrupted)
        return JobResult::Interrupted;
    if (line.command == Command::Info)
        return JobResult::Done;
    if (!PlanForProtection(line, work))
        return JobResult::Done;
    if (line.command == Command::Write || line.command == Command::Verify) {
        HexError error;
        if (!ImageFromHex(*work.chip, hex, work.image, error)) {
            work.exitCode = kExitUsage;
            work.problem = line.file + ": " + DescribeHexError(error);
            work.chip = nullptr;
            return JobResult::Done;
        }
        work.image = Within(work.image, work.regions);
        // Erasing for a file that gives nothing in the chosen regions loses them for nothing.
        const HeldCounts held = CountHeld(work.image);
        if (line.command == Command::Write && held.program + held.data + held.ids == 0 && !held.config &&
            !held.config2) {
            work.exitCode = kExitUsage;
            work.problem = "в файле " + line.file + " нет данных для выбранных областей памяти";
            return JobResult::Done;
        }
    }
    if (line.dryRun)
        return JobResult::Done;
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
    const bool leftOut = work.unreadable.program || work.unreadable.data;
    if (line.dryRun) {
        Say("пробный запуск, микросхема не изменена: " + std::string(chip.name) + " был бы стёрт" +
            (work.clearProtection ? " со снятием защиты" : "") +
            (line.command == Command::Write ? " и записан из " + line.file + ": " + HeldSummary(CountHeld(work.image))
                                            : "") +
            RegionNote(line));
        return kExitDone;
    }
    const bool changesChip = line.command == Command::Write || line.command == Command::Erase;
    if (changesChip && !work.unsaved.empty())
        return Fail(kExitNoTarget, "память виртуальной микросхемы не сохранена: " + work.unsaved);
    if (!work.violations.empty())
        return Fail(kExitDifferences, ViolationText(work.violations));
    if (line.command == Command::Read) {
        const std::string hex = WriteIntelHex(HexOfImage(chip, work.image));
        if (line.file == "-")
            PrintOut(hex);
        else if (!WriteFileAtomically(line.file, hex))
            return Fail(kExitUsage, "не удалось записать файл " + line.file);
        const std::string summary = std::string(chip.name) + " прочитан в " +
                                    (line.file == "-" ? "стандартный вывод" : line.file) + took + ": " +
                                    HeldSummary(CountHeld(work.image));
        // Zeros or whatever a protected chip gives are no content of it.
        if (leftOut)
            return Fail(kExitDifferences, summary + "; " + ProtectedNote(work, line.command));
        Say(summary);
        return kExitDone;
    }
    const std::string protectedNote = leftOut ? "; " + ProtectedNote(work, line.command) : "";
    if (!work.mismatches.empty()) {
        PrintOut(MismatchList(chip, work.mismatches));
        if (line.command == Command::BlankCheck)
            return Fail(kExitDifferences, std::string(chip.name) + " не пуст: ячеек не в стёртом состоянии — " +
                                              std::to_string(work.mismatches.size()) + protectedNote);
        return Fail(kExitDifferences, "найдено различий: " + std::to_string(work.mismatches.size()) + protectedNote);
    }
    if (leftOut)
        return Fail(kExitDifferences, std::string(chip.name) + ": в том, что читается, различий нет" + protectedNote);
    const bool checked = line.verify || line.command == Command::Verify;
    switch (line.command) {
    case Command::Write: {
        const ImageCell& config = work.image.config;
        const bool locks = config.held && (CodeProtected(chip, config.value) || DataProtected(chip, config.value));
        Say(std::string(chip.name) + (checked ? " записан и проверен" : " записан без проверки") + took + ": " +
            HeldSummary(CountHeld(work.image)) + RegionNote(line) +
            (checked && locks ? "; защиту включило слово конфигурации, записанное после проверки" : ""));
        break;
    }
    case Command::Verify:
        Say(std::string(chip.name) + " совпадает с файлом, проверено" + took + ": " +
            HeldSummary(CountHeld(work.image)) + RegionNote(line));
        break;
    case Command::BlankCheck:
        Say(std::string(chip.name) + " пуст, проверено" + took + RegionNote(line));
        break;
    default:
        Say(std::string(chip.name) + (checked ? " стёрт и проверен" : " стёрт без проверки") + took +
            RegionNote(line) + (work.clearProtection ? "; защита снята" : ""));
        break;
    }
    return kExitDone;
}

int RunOnTarget(const CommandLine& line, const std::string& port, const std::vector<HexData>& hex)
{
    if (InterruptRequested())
        EndAsInterrupted();
    errno = 0;
    if (OpenCom_Port(port.c_str()) == 0)
        return Fail(kExitNoTarget, PortProblem(port, errno));
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
    if (sim::IsVirtualPortName(port)) {
        work.violations = sim::ViolationsIn(sim::LastLineRecord());
        work.unsaved = sim::LastChipNotSaved();
    }
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
    AbandonLongDelaysWhen(InterruptRequested);
    std::string port;
    if (!LoadSettings(line, port, problem))
        return Fail(kExitUsage, problem);
    return RunOnTarget(line, port, hex);
}
