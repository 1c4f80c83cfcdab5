#include "intel_hex.h"

#include "hex_format.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

constexpr uint8_t kData = 0x00;
constexpr uint8_t kEndOfFile = 0x01;
constexpr uint8_t kExtendedSegment = 0x02;
constexpr uint8_t kStartSegment = 0x03;
constexpr uint8_t kExtendedLinear = 0x04;
constexpr uint8_t kStartLinear = 0x05;
constexpr size_t kHeaderChars = 11;  // ':' count(2) address(4) type(2) checksum(2)
constexpr size_t kBytesPerRecord = 16;

std::string Hex(uint32_t value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

std::string_view Trim(std::string_view line)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!line.empty() && blank(line.back()))
        line.remove_suffix(1);
    while (!line.empty() && blank(line.front()))
        line.remove_prefix(1);
    return line;
}

struct Record {
    uint8_t type = 0;
    uint16_t address = 0;
    std::vector<uint8_t> bytes;
};

std::string ShownCharacter(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7F)
        return std::string("«") + c + "»";
    return "с кодом " + Hex(u, 2);
}

// The text of one record without its colon, checked for characters and length.
bool DecodeRecord(std::string_view line, Record& record, std::string& what)
{
    if (line.front() != ':') {
        what = "запись не начинается с двоеточия";
        return false;
    }
    for (size_t i = 1; i < line.size(); ++i) {
        if (HexDigit(line[i]) < 0) {
            what = "недопустимый символ " + ShownCharacter(line[i]) + " в позиции " + std::to_string(i + 1);
            return false;
        }
    }
    if (line.size() < kHeaderChars) {
        what = "запись короче наименьшей возможной (" + std::to_string(line.size()) + " символов из " +
               std::to_string(kHeaderChars) + ")";
        return false;
    }
    std::vector<uint8_t> raw;
    for (size_t i = 1; i + 1 < line.size(); i += 2)
        raw.push_back(static_cast<uint8_t>(HexDigit(line[i]) << 4 | HexDigit(line[i + 1])));
    const size_t expected = kHeaderChars + 2u * raw[0];
    if (line.size() != expected) {
        what = std::string(line.size() < expected ? "запись короче" : "запись длиннее") + " объявленной: " +
               std::to_string(raw[0]) + " байтов данных требуют " + std::to_string(expected) + " символов, а их " +
               std::to_string(line.size());
        return false;
    }
    uint8_t sum = 0;
    for (size_t i = 0; i + 1 < raw.size(); ++i)
        sum = static_cast<uint8_t>(sum + raw[i]);
    const uint8_t wanted = static_cast<uint8_t>(-sum);
    if (raw.back() != wanted) {
        what = "неверная контрольная сумма: в записи " + Hex(raw.back(), 2) + ", по её байтам должно быть " +
               Hex(wanted, 2);
        return false;
    }
    record.type = raw[3];
    record.address = static_cast<uint16_t>(raw[1] << 8 | raw[2]);
    record.bytes.assign(raw.begin() + 4, raw.end() - 1);
    return true;
}

// One line of the text, ended by LF, CR LF or a lone CR (old Mac editors).
std::string_view NextLine(std::string_view& text)
{
    const size_t end = text.find_first_of("\r\n");
    const std::string_view line = text.substr(0, end);
    size_t skip = end == std::string_view::npos ? text.size() : end + 1;
    if (end != std::string_view::npos && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
        ++skip;
    text.remove_prefix(skip);
    return line;
}

bool TakeAddressBase(const Record& record, uint32_t& base, std::string& what)
{
    if (record.bytes.size() != 2) {
        what = "запись расширенного адреса должна нести 2 байта, а несёт " + std::to_string(record.bytes.size());
        return false;
    }
    const uint32_t value = static_cast<uint32_t>(record.bytes[0] << 8 | record.bytes[1]);
    // Type 02 gives a paragraph (16 bytes), type 04 the upper 16 bits.
    base = record.type == kExtendedSegment ? value << 4 : value << 16;
    return true;
}

}  // namespace

bool ReadIntelHex(std::string_view text, std::vector<HexData>& data, HexError& error)
{
    data.clear();
    uint32_t upper = 0;
    int lineNumber = 0;
    int endLine = 0;
    int lastRecordLine = 0;
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);  // the UTF-8 byte-order mark some Windows editors put first
    while (!text.empty()) {
        const std::string_view line = Trim(NextLine(text));
        ++lineNumber;
        if (line.empty())
            continue;
        error.line = lastRecordLine = lineNumber;
        if (endLine != 0) {
            error.what = "запись после записи конца файла (строка " + std::to_string(endLine) + ")";
            return false;
        }
        Record record;
        if (!DecodeRecord(line, record, error.what))
            return false;
        switch (record.type) {
        case kData:
            if (!record.bytes.empty()) {
                if (record.address + record.bytes.size() > 0x10000) {
                    error.what = "запись данных переходит через границу 64 КБ";
                    return false;
                }
                data.push_back({upper | record.address, std::move(record.bytes), lineNumber});
            }
            break;
        case kEndOfFile:
            if (!record.bytes.empty()) {
                error.what = "запись конца файла с данными";
                return false;
            }
            endLine = lineNumber;
            break;
        case kExtendedLinear:
        case kExtendedSegment:
            if (!TakeAddressBase(record, upper, error.what))
                return false;
            break;
        case kStartSegment:
        case kStartLinear:
            break;  // where an x86 starts; a PIC starts at its reset vector
        default:
            error.what = "неизвестный тип записи " + Hex(record.type, 2).substr(2);
            return false;
        }
    }
    if (endLine == 0) {
        error.line = lastRecordLine;
        error.what = lastRecordLine == 0 ? "файл пуст" : "файл кончается без записи конца файла (:00000001FF)";
        return false;
    }
    error = HexError{};
    return true;
}

std::string WriteIntelHex(std::span<const HexData> blocks)
{
    std::string out;
    const auto appendRecord = [&out](uint8_t type, uint16_t address, const uint8_t* bytes, size_t count) {
        char field[16];
        uint8_t sum = static_cast<uint8_t>(count + (address >> 8) + (address & 0xFF) + type);
        std::snprintf(field, sizeof field, ":%02X%04X%02X", static_cast<unsigned>(count), address, type);
        out += field;
        for (size_t i = 0; i < count; ++i) {
            std::snprintf(field, sizeof field, "%02X", bytes[i]);
            out += field;
            sum = static_cast<uint8_t>(sum + bytes[i]);
        }
        std::snprintf(field, sizeof field, "%02X\n", static_cast<uint8_t>(-sum));
        out += field;
    };
    int64_t upper = -1;
    for (const HexData& block : blocks) {
        for (size_t start = 0; start < block.bytes.size();) {
            const uint32_t address = block.address + static_cast<uint32_t>(start);
            if (static_cast<int64_t>(address >> 16) != upper) {
                upper = address >> 16;
                const uint8_t high[2] = {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)};
                appendRecord(kExtendedLinear, 0, high, 2);
            }
            // A record stays inside its 64 KB page.
            const size_t count =
                std::min({kBytesPerRecord, block.bytes.size() - start, size_t{0x10000} - (address & 0xFFFF)});
            appendRecord(kData, static_cast<uint16_t>(address), block.bytes.data() + start, count);
            start += count;
        }
    }
    if (upper < 0)
        appendRecord(kExtendedLinear, 0, std::array<uint8_t, 2>{}.data(), 2);
    appendRecord(kEndOfFile, 0, nullptr, 0);
    return out;
}

std::string DescribeHexError(const HexError& error)
{
    if (error.line == 0)
        return error.what;
    return "строка " + std::to_string(error.line) + ": " + error.what;
}
