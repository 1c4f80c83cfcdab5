#include "command_line.h"

#include <charconv>
#include <vector>

namespace {

struct CommandName {
    std::string_view name;
    Command command;
    bool takesFile;
};

constexpr CommandName kCommands[] = {
    {"info", Command::Info, false},   {"read", Command::Read, true},   {"write", Command::Write, true},
    {"verify", Command::Verify, true}, {"erase", Command::Erase, false}, {"blank-check", Command::BlankCheck, false},
};

std::string KnownChipNames()
{
    std::string names;
    for (const ChipInfo& chip : KnownChips())
        names += (names.empty() ? "" : ", ") + std::string(chip.name);
    return names;
}

// The names for the help text, as lines indented to its second column.
std::string ChipNameLines()
{
    constexpr size_t kIndent = 19, kWidth = 79;
    std::string lines, line(kIndent, ' ');
    for (const ChipInfo& chip : KnownChips()) {
        const std::string name = std::string(chip.name) + ",";
        if (line.size() > kIndent && line.size() + 1 + name.size() > kWidth) {
            lines += line + "\n";
            line.assign(kIndent, ' ');
        }
        line += (line.size() > kIndent ? " " : "") + name;
    }
    line.pop_back();
    return lines + line + "\n";
}

bool ParseDelay(std::string_view text, int32_t& delay)
{
    int32_t value = -1;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size() || value < 0 || value > kMaxDelay || text.empty() ||
        text[0] == '-' || text[0] == '+')
        return false;
    delay = value;
    return true;
}

// An option with a value: the value is after "=" or in the next argument.
bool TakeValue(std::span<const std::string_view> args, size_t& i, std::string_view option, std::string_view inlineValue,
               bool hasInline, std::string& value, std::string& problem)
{
    if (hasInline) {
        value = std::string(inlineValue);
    } else if (i + 1 < args.size()) {
        value = std::string(args[++i]);
    } else {
        problem = "после " + std::string(option) + " нужно значение";
        return false;
    }
    if (value.empty()) {
        problem = std::string(option) + ": пустое значение";
        return false;
    }
    return true;
}

bool ApplyOption(std::span<const std::string_view> args, size_t& i, CommandLine& line, std::string& problem)
{
    const std::string_view arg = args[i];
    const size_t equals = arg.find('=');
    const std::string_view option = arg.substr(0, equals);
    const bool hasInline = equals != std::string_view::npos;
    const std::string_view inlineValue = hasInline ? arg.substr(equals + 1) : std::string_view{};
    const bool flag = option == "--help" || option == "-h" || option == "--version" || option == "--no-verify" ||
                      option == "--force" || option == "--only-file" || option == "--dry-run" ||
                      option == "--keep-data" || option == "--program" || option == "--data" ||
                      option == "--config";
    if (flag && hasInline) {
        problem = std::string(option) + " не принимает значения";
        return false;
    }
    std::string value;
    if (option == "--help" || option == "-h") {
        line.help = true;
    } else if (option == "--version") {
        line.version = true;
    } else if (option == "--no-verify") {
        line.verify = false;
    } else if (option == "--force") {
        line.force = true;
    } else if (option == "--only-file") {
        line.onlyFile = true;
    } else if (option == "--keep-data") {
        line.keepData = true;
    } else if (option == "--dry-run") {
        line.dryRun = true;
    } else if (option == "--program" || option == "--data" || option == "--config") {
        if (!line.regionsGiven)
            line.regions = Regions{false, false, false};
        line.regionsGiven = true;
        (option == "--program" ? line.regions.program : option == "--data" ? line.regions.data : line.regions.config) =
            true;
    } else if (option == "--port") {
        if (!TakeValue(args, i, option, inlineValue, hasInline, value, problem))
            return false;
        line.port = value;
    } else if (option == "--delay") {
        int32_t delay = 0;
        if (!TakeValue(args, i, option, inlineValue, hasInline, value, problem))
            return false;
        if (!ParseDelay(value, delay)) {
            problem = DelayProblem("--delay", value);
            return false;
        }
        line.delay = delay;
    } else if (option == "--device") {
        if (!TakeValue(args, i, option, inlineValue, hasInline, value, problem))
            return false;
        line.device = ChipByName(value);
        if (line.device == nullptr) {
            problem = "--device: неизвестная микросхема «" + value + "»; известны: " + KnownChipNames();
            return false;
        }
    } else {
        problem = "неизвестный параметр " + std::string(arg);
        return false;
    }
    return true;
}

bool ApplyWord(std::string_view arg, CommandLine& line, std::vector<std::string_view>& files, std::string& problem)
{
    if (line.command != Command::None) {
        files.push_back(arg);
        return true;
    }
    for (const CommandName& c : kCommands) {
        if (arg == c.name) {
            line.command = c.command;
            return true;
        }
    }
    problem = "неизвестная команда «" + std::string(arg) + "»";
    return false;
}

bool CheckFiles(const CommandLine& line, const std::vector<std::string_view>& files, std::string& problem)
{
    for (const CommandName& c : kCommands) {
        if (c.command != line.command)
            continue;
        if (c.takesFile && files.empty()) {
            problem = "команде " + std::string(c.name) + " нужен файл .hex";
            return false;
        }
        const size_t allowed = c.takesFile ? 1 : 0;
        if (files.size() > allowed) {
            problem = "лишний аргумент «" + std::string(files[allowed]) + "»";
            return false;
        }
    }
    return true;
}

// An option the command would ignore is a mistake worth saying, not a no-op.
bool CheckOptionsApply(const CommandLine& line, std::string& problem)
{
    const bool write = line.command == Command::Write;
    const bool erase = line.command == Command::Erase;
    const struct {
        bool given;
        bool applies;
        const char* option;
        const char* commands;
    } options[] = {
        {!line.verify, write || erase, "--no-verify", "командами write и erase"},
        {line.force, line.command == Command::Read || line.device != nullptr, "--force",
         "командой read или вместе с --device"},
        {line.onlyFile, write || line.command == Command::Verify, "--only-file", "командами write и verify"},
        {line.dryRun, write || erase, "--dry-run", "командами write и erase"},
        {line.keepData, write, "--keep-data", "командой write"},
    };
    for (const auto& o : options) {
        if (o.given && !o.applies) {
            problem = std::string(o.option) + " действует только с " + o.commands;
            return false;
        }
    }
    if (line.regionsGiven && line.command == Command::Info) {
        problem = "--program, --data и --config выбирают области памяти для read, write, verify, erase и "
                  "blank-check; info их не читает";
        return false;
    }
    // These chips erase the identifiers and the configuration word only
    // together with program memory, and write needs them erased.
    if ((write || erase) && line.regions.config && !line.regions.program) {
        problem = "--config без --program: микросхема стирает идентификаторы и конфигурацию только вместе с памятью "
                  "программ; добавьте --program";
        return false;
    }
    if (line.keepData && line.regionsGiven) {
        problem = "--keep-data не сочетается с --program, --data и --config: write без --data и так не трогает "
                  "память данных";
        return false;
    }
    if (line.onlyFile && !line.verify) {
        problem = "--only-file задаёт, что проверять, а --no-verify отменяет проверку";
        return false;
    }
    return true;
}

}  // namespace

bool ParseCommandLine(std::span<const std::string_view> args, CommandLine& line, std::string& problem)
{
    line = CommandLine{};
    std::vector<std::string_view> files;
    bool optionsEnded = false;
    std::string firstProblem;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        std::string local;
        bool ok = true;
        if (!optionsEnded && arg == "--")
            optionsEnded = true;
        else if (!optionsEnded && arg.size() > 1 && arg[0] == '-')
            ok = ApplyOption(args, i, line, local);
        else
            ok = ApplyWord(arg, line, files, local);
        if (!ok && firstProblem.empty())
            firstProblem = local;
    }
    if (line.help || line.version)
        return true;
    if (firstProblem.empty() && line.command == Command::None)
        firstProblem = "не указана команда";
    if (firstProblem.empty() && CheckFiles(line, files, firstProblem))
        CheckOptionsApply(line, firstProblem);
    if (!firstProblem.empty()) {
        problem = firstProblem;
        return false;
    }
    if (!files.empty())
        line.file = std::string(files.front());
    return true;
}

std::string DelayProblem(std::string_view source, std::string_view value)
{
    return std::string(source) + ": нужно целое число микросекунд от 0 до " + std::to_string(kMaxDelay) + ", а не «" +
           std::string(value) + "»";
}

std::string HelpText()
{
    return "Использование: pic-prog [ПАРАМЕТРЫ] КОМАНДА [ФАЙЛ.hex]\n"
           "\n"
           "Программирует микроконтроллер PIC в адаптере Vantrel на последовательном порту.\n"
           "\n"
           "Команды:\n"
           "  info             устройство, ревизия, идентификаторы, слово конфигурации\n"
           "                   с расшифровкой\n"
           "  read ФАЙЛ.hex    вся микросхема (память программ и данных, идентификаторы,\n"
           "                   конфигурация) в ФАЙЛ; «-» — в стандартный вывод\n"
           "  write ФАЙЛ.hex   стереть, записать всё, что есть в файле, и проверить\n"
           "  verify ФАЙЛ.hex  сравнить микросхему с файлом и показать первые различия\n"
           "  erase            стереть память программ и данных, идентификаторы\n"
           "                   и конфигурацию (защищённую микросхему — со снятием защиты)\n"
           "  blank-check      проверить, что микросхема стёрта, и показать первые\n"
           "                   нестёртые ячейки\n"
           "ФАЙЛ «-» у write и verify — стандартный ввод. Файл без данных не принимается.\n"
           "\n"
           "Проверка (verify и проверка после write) по умолчанию охватывает всю\n"
           "микросхему: ячейки, которых нет в файле, должны быть стёрты (3FFF, данные FF).\n"
           "\n"
           "Параметры (для всех команд):\n"
           "  --port ИМЯ       порт вместо ComPortName из Preferences.ini\n"
           "                   (VIRTUAL в любом регистре — виртуальный программатор)\n"
           "  --delay МКС      единичная задержка вместо Vantrel_Delay, от 0 до " + std::to_string(kMaxDelay) + "\n"
           "                   микросекунд (те же пределы и для Preferences.ini)\n"
           "  --device ИМЯ     тип микросхемы; если прочитанный идентификатор устройства\n"
           "                   называет другую, работа отменяется (код 2), если не указан\n"
           "                   --force; у PIC16F84 и PIC16C84 идентификатора нет,\n"
           "                   их называют только так. Известны:\n" + ChipNameLines() +
           "  --help           эта справка\n"
           "  --version        версия программы\n"
           "Параметры отдельных команд:\n"
           "  --no-verify      write, erase: не читать записанное для проверки\n"
           "  --only-file      write, verify: сравнивать только ячейки, которые есть в файле\n"
           "  --dry-run        write, erase: определить микросхему и сказать, что было бы\n"
           "                   сделано, ничего не меняя\n"
           "  --program, --data, --config\n"
           "                   read, write, verify, erase, blank-check: только память\n"
           "                   программ, память данных или идентификаторы с конфигурацией,\n"
           "                   в любом сочетании; без них — всё. Идентификаторы и\n"
           "                   конфигурация стираются только вместе с памятью программ:\n"
           "                   erase и write с --config требуют и --program\n"
           "  --keep-data      write: сохранить память данных микросхемы (прочитать её до\n"
           "                   стирания и записать обратно); данные из файла не пишутся\n"
           "  --force          read: заменить существующий обычный файл;\n"
           "                   с --device: работать, даже если идентификатор не совпал\n"
           "Параметр, который с данной командой ничего не делает, — ошибка.\n"
           "\n"
           "Защищённую память (защита кода или данных в слове конфигурации) микросхема\n"
           "не отдаёт: read, verify и blank-check пропускают её, называют и завершаются\n"
           "с кодом 1. Снимает защиту только стирание всей микросхемы.\n"
           "\n"
           "Инверсия линий берётся из Preferences.ini в текущем каталоге.\n"
           "\n"
           "Коды завершения: 0 — готово; 1 — найдены различия, микросхема не пуста\n"
           "(blank-check), пропущена защищённая память или на виртуальном программаторе\n"
           "нарушены времена микросхемы;\n"
           "2 — неверный вызов или файл; 3 — нет порта, программатора или микросхемы,\n"
           "или не сохранена память виртуальной микросхемы; 130 — прервано Ctrl+C,\n"
           "143 — прервано сигналом SIGTERM (питание микросхемы выключено, порт закрыт).\n";
}
