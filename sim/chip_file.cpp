#include "chip_file.h"

#include "atomic_file.h"
#include "ini_text.h"

#include <cstdio>
#include <filesystem>
#include <optional>

namespace sim {

namespace {

// A hex file of this part is about 6 KB; anything far larger is not one.
constexpr size_t kMaxHexBytes = 1u << 20;

void Warn(const std::string& text)
{
    std::fprintf(stderr, "%s\n", text.c_str());
}

// The PIC16F84A's file always exists once locked; another chip's may not yet.
bool FileMissing(const std::string& path)
{
    std::error_code error;
    const std::u8string utf8(path.begin(), path.end());
    return !std::filesystem::exists(std::filesystem::path(utf8), error) && !error;
}

}  // namespace

std::string ChipFileName(const ChipModel& model)
{
    if (&model == &kPic16f84aModel)
        return "virtual-pic.hex";
    std::string name = "virtual-" + std::string(model.name) + ".hex";
    for (char& c : name)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return name;
}

ChipFileResult OpenChipFile(ChipFile& file, const ChipModel& model)
{
    file.model = &model;
    file.hexPath = InWorkingDirectory(ChipFileName(model));
    file.vcdPath = InWorkingDirectory("virtual-pic.vcd");
    file.badPath = file.hexPath + ".bad";
    bool busy = false;
    int error = 0;
    // One lock for every chip: the line record is shared, and one port at a
    // time works in a directory.
    file.lockFd = LockFileExclusively(InWorkingDirectory("virtual-pic.hex"), busy, error);
    if (file.lockFd >= 0)
        return ChipFileResult::Opened;
    if (busy)
        return ChipFileResult::Busy;
    file.unsaved = "не удаётся открыть " + file.hexPath + " (" + SystemErrorText(error) + ")";
    Warn("Виртуальный программатор: " + file.unsaved + "; микросхема стёрта, её память и запись линий не будут сохранены.");
    return ChipFileResult::Unwritable;
}

ChipMemory LoadChipMemory(ChipFile& file)
{
    ChipMemory memory = ErasedChipMemory(*file.model);
    if (file.lockFd < 0 || FileMissing(file.hexPath))
        return memory;
    const std::optional<std::string> text = ReadFileText(file.hexPath, kMaxHexBytes + 1);
    std::string error;
    if (!text)
        error = "файл не читается";
    else if (text->size() > kMaxHexBytes)
        error = "файл слишком велик для " + std::string(file.model->name);
    else if (text->empty() || ChipMemoryFromHex(*text, memory, error))
        return memory;
    file.keepBadCopy = true;
    Warn("Виртуальный программатор: " + file.hexPath + " повреждён или не от " + file.model->name + " (" + error +
         "); микросхема начинает стёртой, при закрытии порта старый файл будет сохранён как " + file.badPath +
         ".");
    return ErasedChipMemory(*file.model);
}

std::string SaveChipFile(ChipFile& file, const ChipMemory* memory, const std::vector<LineEvent>& record)
{
    if (file.lockFd < 0)
        return memory != nullptr ? file.unsaved : std::string();
    if (!WriteVcd(record, file.vcdPath))
        Warn("Виртуальный программатор: не удалось записать " + file.vcdPath + ".");
    std::string unsaved;
    if (memory != nullptr) {
        if (file.keepBadCopy && !KeepCopyOfFile(file.hexPath, file.badPath)) {
            unsaved = "не удалось сохранить копию " + file.badPath + ", испорченный файл оставлен как есть";
        } else if (!WriteFileAtomically(file.hexPath, ChipMemoryToHex(*memory))) {
            unsaved = "не удалось сохранить память микросхемы в " + file.hexPath;
        }
        if (!unsaved.empty())
            Warn("Виртуальный программатор: " + unsaved + ".");
    }
    UnlockFile(file.lockFd);
    file.lockFd = -1;
    return unsaved;
}

}  // namespace sim
