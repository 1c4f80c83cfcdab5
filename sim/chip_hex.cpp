// Intel HEX in the INHX8M layout PIC assemblers write: 16-byte data records,
// words little-endian at byte address = word address x 2.
#include "hex_format.h"
#include "pic_chip.h"
#include "virtual_programmer.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sim {

namespace {

constexpr uint32_t kConfigByteBase = 0x4000;
constexpr uint32_t kDataByteBase = 0x4200;
constexpr size_t kRecordBytes = 16;

// Each part of the chip's memory as the bytes a hex file holds for it.
struct ByteImage {
    const ChipModel* model;
    std::array<uint8_t, ChipMemory::kProgramWords * 2> program;
    std::array<uint8_t, ChipMemory::kConfigWords * 2> config;
    std::array<uint8_t, ChipMemory::kDataBytes * 2> data;
};

ByteImage ImageOf(const ChipMemory& memory)
{
    ByteImage image{};
    image.model = memory.model;
    for (int i = 0; i < ChipMemory::kProgramWords; ++i) {
        image.program[2 * i] = memory.program[i] & 0xFF;
        image.program[2 * i + 1] = memory.program[i] >> 8;
    }
    for (int i = 0; i < ChipMemory::kConfigWords; ++i) {
        image.config[2 * i] = memory.config[i] & 0xFF;
        image.config[2 * i + 1] = memory.config[i] >> 8;
    }
    for (int i = 0; i < ChipMemory::kDataBytes; ++i)
        image.data[2 * i] = memory.data[i];
    return image;
}

// Where byte address lands in the image; nullptr outside the part.
uint8_t* ImageByte(ByteImage& image, uint32_t address)
{
    const size_t programBytes = static_cast<size_t>(image.model->programWords) * 2;
    const size_t dataBytes = static_cast<size_t>(image.model->dataBytes) * 2;
    if (address < programBytes)
        return &image.program[address];
    const size_t configBytes = static_cast<size_t>(ConfigWords(*image.model)) * 2;
    if (address >= kConfigByteBase && address - kConfigByteBase < configBytes)
        return &image.config[address - kConfigByteBase];
    if (address >= kDataByteBase && address - kDataByteBase < dataBytes)
        return &image.data[address - kDataByteBase];
    return nullptr;
}

void AppendHexByte(std::string& out, uint8_t value)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += kDigits[value >> 4];
    out += kDigits[value & 0xF];
}

void AppendRecords(std::string& out, uint32_t base, std::span<const uint8_t> bytes)
{
    const size_t N = bytes.size();
    for (size_t start = 0; start < N; start += kRecordBytes) {
        const size_t count = std::min(kRecordBytes, N - start);
        const uint32_t address = base + static_cast<uint32_t>(start);
        uint8_t sum = static_cast<uint8_t>(count + (address >> 8) + address);
        out += ':';
        AppendHexByte(out, static_cast<uint8_t>(count));
        AppendHexByte(out, static_cast<uint8_t>(address >> 8));
        AppendHexByte(out, static_cast<uint8_t>(address));
        AppendHexByte(out, 0);
        for (size_t i = 0; i < count; ++i) {
            AppendHexByte(out, bytes[start + i]);
            sum = static_cast<uint8_t>(sum + bytes[start + i]);
        }
        AppendHexByte(out, static_cast<uint8_t>(-sum));
        out += '\n';
    }
}

std::string AtLine(int lineNumber, const std::string& what)
{
    return "строка " + std::to_string(lineNumber) + ": " + what;
}

std::string Hex4(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

struct HexRecord {
    uint8_t type = 0;
    uint16_t address = 0;
    std::vector<uint8_t> bytes;
};

// One ":LLAAAATT...CC" line; nullopt with error set when it is malformed.
std::optional<HexRecord> ParseRecord(std::string_view line, std::string& error)
{
    if (line.empty() || line[0] != ':') {
        error = "запись не начинается с двоеточия";
        return std::nullopt;
    }
    line.remove_prefix(1);
    std::vector<uint8_t> raw;
    for (size_t i = 0; i < line.size(); i += 2) {
        const int high = HexDigit(line[i]);
        const int low = i + 1 < line.size() ? HexDigit(line[i + 1]) : 0;
        if (high < 0 || low < 0) {
            error = "недопустимый символ";
            return std::nullopt;
        }
        raw.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    if (line.size() % 2 != 0 || raw.size() < 5 || raw.size() != raw[0] + 5u) {
        error = "длина записи не совпадает с её счётчиком байтов";
        return std::nullopt;
    }
    uint8_t sum = 0;
    for (uint8_t b : raw)
        sum = static_cast<uint8_t>(sum + b);
    if (sum != 0) {
        error = "неверная контрольная сумма";
        return std::nullopt;
    }
    return HexRecord{raw[3], static_cast<uint16_t>(raw[1] << 8 | raw[2]),
                     std::vector<uint8_t>(raw.begin() + 4, raw.end() - 1)};
}

// The high byte of a word holds 6 bits in program memory and the
// configuration area, none in data memory.
bool HighByteFits(uint32_t address, uint8_t value, std::string& error)
{
    if ((address & 1) == 0)
        return true;
    if (address >= kDataByteBase && value != 0) {
        error = "ячейка данных " + Hex4(0x2100 + (address - kDataByteBase) / 2) + " шире байта";
        return false;
    }
    if (value > (kErasedWord >> 8)) {
        error = "слово по адресу " + Hex4(address / 2) + " шире 14 битов";
        return false;
    }
    return true;
}

bool PlaceRecord(const HexRecord& record, ByteImage& image, std::string& error)
{
    for (size_t i = 0; i < record.bytes.size(); ++i) {
        const uint32_t address = record.address + static_cast<uint32_t>(i);
        uint8_t* target = ImageByte(image, address);
        if (target == nullptr) {
            error = "адрес " + Hex4(address) + " вне памяти " + image.model->name;
            return false;
        }
        if (!HighByteFits(address, record.bytes[i], error))
            return false;
        *target = record.bytes[i];
    }
    return true;
}

// Applies one record; sets ended at the end-of-file record.
bool ApplyRecord(const HexRecord& record, ByteImage& image, bool& ended, std::string& error)
{
    switch (record.type) {
    case 0x00:
        return PlaceRecord(record, image, error);
    case 0x01:
        ended = true;
        return true;
    case 0x04:
        // INHX32 writers put an upper address of 0 first; anything else is beyond the part.
        if (record.bytes.size() == 2 && record.bytes[0] == 0 && record.bytes[1] == 0)
            return true;
        error = std::string("расширенный адрес вне памяти ") + image.model->name;
        return false;
    default:
        error = "неизвестный тип записи " + std::to_string(record.type);
        return false;
    }
}

uint16_t WordAt(const uint8_t* bytes, int index)
{
    return static_cast<uint16_t>(bytes[2 * index] | bytes[2 * index + 1] << 8);
}

ChipMemory MemoryFromImage(const ByteImage& image)
{
    ChipMemory memory = ErasedChipMemory(*image.model);
    for (int i = 0; i < ChipMemory::kProgramWords; ++i)
        memory.program[i] = WordAt(image.program.data(), i);
    for (int i = 0; i < ChipMemory::kConfigWords; ++i)
        memory.config[i] = WordAt(image.config.data(), i);
    for (int i = 0; i < ChipMemory::kDataBytes; ++i)
        memory.data[i] = image.data[2 * i];
    // 0x2004..0x2006 are not memory: the chip answers them itself.
    memory.config[4] = memory.config[5] = kErasedWord;
    memory.config[6] = image.model->deviceId;
    memory.config[7] &= image.model->configMask;
    memory.config[8] &= image.model->config2Mask != 0 ? image.model->config2Mask : kErasedWord;
    return memory;
}

std::string_view TrimLine(std::string_view line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
        line.remove_prefix(1);
    return line;
}

}  // namespace

std::string ChipMemoryToHex(const ChipMemory& memory)
{
    const ByteImage image = ImageOf(memory);
    std::string out;
    const ChipModel& model = *memory.model;
    AppendRecords(out, 0, std::span(image.program).first(static_cast<size_t>(model.programWords) * 2));
    AppendRecords(out, kConfigByteBase, std::span(image.config).first(static_cast<size_t>(ConfigWords(model)) * 2));
    AppendRecords(out, kDataByteBase, std::span(image.data).first(static_cast<size_t>(model.dataBytes) * 2));
    out += ":00000001FF\n";
    return out;
}

bool ChipMemoryFromHex(std::string_view text, ChipMemory& memory, std::string& error)
{
    memory = ErasedChipMemory(*memory.model);
    ByteImage image = ImageOf(memory);
    bool ended = false;
    int lineNumber = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = TrimLine(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        if (line.empty())
            continue;
        if (ended) {
            error = AtLine(lineNumber, "записи после записи конца файла");
            return false;
        }
        const std::optional<HexRecord> record = ParseRecord(line, error);
        if (!record || !ApplyRecord(*record, image, ended, error)) {
            error = AtLine(lineNumber, error);
            return false;
        }
    }
    if (!ended) {
        error = "нет записи конца файла";
        return false;
    }
    memory = MemoryFromImage(image);
    return true;
}

}  // namespace sim
