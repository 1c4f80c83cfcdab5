#include "chip_image.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <string>

namespace {

struct WordBytes {
    std::optional<uint8_t> low;
    std::optional<uint8_t> high;
    int line = 0;  // where the first of its bytes was given
};

std::string Hex4(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

enum class Region { Program, Data, Ids, Config, Config2, Reserved, Outside };

Region RegionOf(const ChipInfo& chip, uint32_t word)
{
    if (word < static_cast<uint32_t>(chip.programWords))
        return Region::Program;
    if (word >= chip.dataBase && word < chip.dataBase + static_cast<uint32_t>(chip.dataBytes))
        return Region::Data;
    if (word >= chip.configBase && word < chip.configBase + static_cast<uint32_t>(chip.idWords))
        return Region::Ids;
    if (word == chip.configBase + static_cast<uint32_t>(chip.configWordOffset))
        return Region::Config;
    if (chip.config2Mask != 0 && word == chip.configBase + static_cast<uint32_t>(chip.config2Offset))
        return Region::Config2;
    if (word >= chip.configBase && word < chip.configBase + static_cast<uint32_t>(chip.configWordOffset))
        return Region::Reserved;
    return Region::Outside;
}

// First pass: every byte inside the chip, none given twice differently.
bool CollectWords(const ChipInfo& chip, std::span<const HexData> data, std::map<uint32_t, WordBytes>& words,
                  HexError& error)
{
    for (const HexData& block : data) {
        for (size_t i = 0; i < block.bytes.size(); ++i) {
            const uint32_t byteAddress = block.address + static_cast<uint32_t>(i);
            const uint32_t word = byteAddress / 2;
            error.line = block.line;
            if (RegionOf(chip, word) == Region::Outside) {
                error.what = "адрес " + Hex4(word) + " (байт " + Hex4(byteAddress) + ") вне памяти " + chip.name;
                return false;
            }
            WordBytes& entry = words[word];
            if (entry.line == 0)
                entry.line = block.line;
            std::optional<uint8_t>& slot = (byteAddress & 1) ? entry.high : entry.low;
            if (slot && *slot != block.bytes[i]) {
                error.what = "адрес " + Hex4(word) + " уже задан другим значением в строке " + std::to_string(entry.line);
                return false;
            }
            slot = block.bytes[i];
        }
    }
    return true;
}

// Second pass: whole words that fit their locations.
bool PlaceWord(const ChipInfo& chip, uint32_t word, const WordBytes& bytes, ChipImage& image, HexError& error)
{
    error.line = bytes.line;
    if (!bytes.low || !bytes.high) {
        error.what = "у слова " + Hex4(word) + " задан только " + (bytes.low ? "младший" : "старший") + " байт";
        return false;
    }
    const uint16_t value = static_cast<uint16_t>(*bytes.low | *bytes.high << 8);
    const Region region = RegionOf(chip, word);
    if (region == Region::Data) {
        if (value > 0xFF) {
            error.what = "значение " + Hex4(value) + " по адресу " + Hex4(word) + " не помещается в байт памяти данных";
            return false;
        }
        image.data[word - chip.dataBase] = {value, true};
        return true;
    }
    if (value > chip.wordMask) {
        error.what = "значение " + Hex4(value) + " по адресу " + Hex4(word) + " шире 14 битов";
        return false;
    }
    switch (region) {
    case Region::Program:
        image.program[word] = {value, true};
        return true;
    case Region::Ids:
        image.ids[word - chip.configBase] = {value, true};
        return true;
    case Region::Config:
        // Unimplemented bits read back as 0; assemblers fill them with ones.
        image.config = {static_cast<uint16_t>(value & chip.configMask), true};
        return true;
    case Region::Config2:
        image.config2 = {static_cast<uint16_t>(value & chip.config2Mask), true};
        return true;
    default:
        break;
    }
    const bool deviceId = word == chip.configBase + static_cast<uint32_t>(chip.deviceIdOffset);
    if (value == chip.wordMask || (deviceId && HasDeviceId(chip) && (value & chip.deviceIdMask) == chip.deviceId))
        return true;  // what the chip holds there anyway
    error.what = "по адресу " + Hex4(word) + " у " + chip.name + " нет записываемой памяти (значение " + Hex4(value) + ")";
    return false;
}

void AppendWords(std::vector<uint8_t>& bytes, const ImageCell& cell)
{
    bytes.push_back(static_cast<uint8_t>(cell.value & 0xFF));
    bytes.push_back(static_cast<uint8_t>(cell.value >> 8));
}

}  // namespace

uint16_t ErasedValue(const ChipInfo& chip, MemoryKind kind) { return kind == MemoryKind::Data ? 0xFF : chip.wordMask; }

ChipImage EmptyImage(const ChipInfo& chip)
{
    ChipImage image;
    image.program.assign(static_cast<size_t>(chip.programWords), {ErasedValue(chip, MemoryKind::Program), false});
    image.data.assign(static_cast<size_t>(chip.dataBytes), {ErasedValue(chip, MemoryKind::Data), false});
    image.ids.assign(static_cast<size_t>(chip.idWords), {ErasedValue(chip, MemoryKind::Configuration), false});
    image.config = {chip.configMask, false};
    image.config2 = {chip.config2Mask, false};
    return image;
}

bool ImageFromHex(const ChipInfo& chip, std::span<const HexData> data, ChipImage& image, HexError& error)
{
    image = EmptyImage(chip);
    std::map<uint32_t, WordBytes> words;
    if (!CollectWords(chip, data, words, error))
        return false;
    // Faults of whole words are reported in the order of the file.
    std::vector<std::pair<uint32_t, const WordBytes*>> ordered;
    for (const auto& [word, bytes] : words)
        ordered.emplace_back(word, &bytes);
    std::ranges::stable_sort(ordered, {}, [](const auto& entry) { return entry.second->line; });
    for (const auto& [word, bytes] : ordered)
        if (!PlaceWord(chip, word, *bytes, image, error))
            return false;
    error = HexError{};
    return true;
}

std::vector<HexData> HexOfImage(const ChipInfo& chip, const ChipImage& image)
{
    std::vector<HexData> blocks(4);
    for (const ImageCell& cell : image.program)
        AppendWords(blocks[0].bytes, cell);
    blocks[1].address = chip.configBase * 2u;
    for (const ImageCell& cell : image.ids)
        AppendWords(blocks[1].bytes, cell);
    blocks[2].address = (chip.configBase + static_cast<uint32_t>(chip.configWordOffset)) * 2u;
    if (!image.ids.empty()) {
        AppendWords(blocks[2].bytes, image.config);
        if (chip.config2Mask != 0)
            AppendWords(blocks[2].bytes, image.config2);
    }
    blocks[3].address = chip.dataBase * 2u;
    for (const ImageCell& cell : image.data)
        AppendWords(blocks[3].bytes, cell);
    std::erase_if(blocks, [](const HexData& block) { return block.bytes.empty(); });
    return blocks;
}

HeldCounts CountHeld(const ChipImage& image)
{
    const auto held = [](const std::vector<ImageCell>& cells) {
        return static_cast<int>(std::ranges::count_if(cells, &ImageCell::held));
    };
    return {held(image.program), held(image.data), held(image.ids), image.config.held, image.config2.held};
}
