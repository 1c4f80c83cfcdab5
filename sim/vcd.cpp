// The line record as a Value Change Dump for a waveform viewer.
#include "virtual_programmer.h"
#include "atomic_file.h"
#include "ini_text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <optional>
#include <string>
#include <vector>

namespace sim {

namespace {

// The wires, then the violations as events. Files written before the
// violations were recorded lack their declarations and still read.
struct VcdSignal {
    Line line;
    char id;
    const char* name;
    bool required;
};

constexpr std::array<VcdSignal, 11> kSignals{{
    {Line::Rts, 'r', "rts", true},
    {Line::Dtr, 'd', "dtr", true},
    {Line::Break, 'b', "brk", true},
    {Line::Cts, 'c', "cts", true},
    {Line::Dsr, 's', "dsr", true},
    {Line::DataContention, 'f', "contention", false},
    {Line::UnloadedProgramming, 'u', "unloaded", false},
    {Line::SetupTime, 'p', "setup", false},
    {Line::HoldTime, 'h', "hold", false},
    {Line::CommandDelay, 'y', "delay", false},
    {Line::EarlyRead, 'e', "early_read", false},
}};
constexpr int kRequiredSignals = 5;

const VcdSignal* SignalOf(Line line)
{
    for (const VcdSignal& s : kSignals)
        if (s.line == line)
            return &s;
    return nullptr;
}

std::string VcdHeader()
{
    std::string out = "$version bench virtual programmer $end\n$timescale 1 ns $end\n";
    out += "$scope module adapter $end\n";
    for (const VcdSignal& s : kSignals)
        out += std::string("$var ") + (IsViolation(s.line) ? "event" : "wire") + " 1 " + s.id + ' ' + s.name + " $end\n";
    out += "$upscope $end\n$enddefinitions $end\n";
    return out;
}

std::vector<std::string_view> Tokens(std::string_view text)
{
    std::vector<std::string_view> tokens;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
            ++i;
        const size_t start = i;
        while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])))
            ++i;
        if (i > start)
            tokens.push_back(text.substr(start, i - start));
    }
    return tokens;
}

// Reads the declarations up to $enddefinitions: the five wires, the
// violations if any, 1 ns. Returns the index of the first token after them, or nullopt.
std::optional<size_t> ReadDeclarations(const std::vector<std::string_view>& tokens, std::array<char, kSignals.size()>& ids)
{
    std::string timescale;
    int found = 0;
    size_t i = 0;
    while (i < tokens.size() && tokens[i] != "$enddefinitions") {
        const std::string_view keyword = tokens[i++];
        std::vector<std::string_view> body;
        while (i < tokens.size() && tokens[i] != "$end")
            body.push_back(tokens[i++]);
        if (i++ >= tokens.size() || keyword.empty() || keyword[0] != '$')
            return std::nullopt;
        if (keyword == "$timescale") {
            for (std::string_view part : body)
                timescale += part;
        } else if (keyword == "$var") {
            if (body.size() != 4 || body[1] != "1" || body[2].size() != 1)
                return std::nullopt;
            for (size_t k = 0; k < kSignals.size(); ++k) {
                if (body[3] == kSignals[k].name && ids[k] == 0) {
                    ids[k] = body[2][0];
                    found += kSignals[k].required ? 1 : 0;
                }
            }
        }
    }
    if (i + 1 >= tokens.size() || tokens[i + 1] != "$end" || timescale != "1ns" || found != kRequiredSignals)
        return std::nullopt;
    return i + 2;  // past "$enddefinitions $end"
}

bool ReadChange(std::string_view token, int64_t timeNs, const std::array<char, kSignals.size()>& ids,
                std::vector<LineEvent>& record)
{
    if (token.size() != 2 || (token[0] != '0' && token[0] != '1'))
        return false;
    for (size_t k = 0; k < kSignals.size(); ++k) {
        if (ids[k] == token[1]) {
            record.push_back({timeNs, kSignals[k].line, token[0] == '1'});
            return true;
        }
    }
    return false;
}

}  // namespace

bool IsViolation(Line line)
{
    return line >= Line::DataContention && line <= Line::EarlyRead;
}

const char* LineName(Line line)
{
    const VcdSignal* signal = SignalOf(line);
    return signal != nullptr ? signal->name : "?";
}

std::vector<LineEvent> ViolationsIn(const std::vector<LineEvent>& record)
{
    std::vector<LineEvent> found;
    for (const LineEvent& event : record)
        if (IsViolation(event.line))
            found.push_back(event);
    return found;
}

std::string VcdText(const std::vector<LineEvent>& record)
{
    std::string out = VcdHeader();
    int64_t shown = -1;
    for (const LineEvent& event : record) {
        const VcdSignal* signal = SignalOf(event.line);
        if (signal == nullptr)
            continue;
        // A viewer needs time to go forward; an out-of-order event joins the last step.
        const int64_t time = std::max<int64_t>(event.timeNs, std::max<int64_t>(shown, 0));
        if (time != shown)
            out += '#' + std::to_string(time) + '\n';
        shown = time;
        out += event.level ? '1' : '0';
        out += signal->id;
        out += '\n';
    }
    return out;
}

bool WriteVcd(const std::vector<LineEvent>& record, const std::string& path)
{
    return WriteFileAtomically(path, VcdText(record));
}

std::vector<LineEvent> ReadVcd(const std::string& path)
{
    const std::optional<std::string> text = ReadFileText(path);
    return text ? ReadVcdText(*text) : std::vector<LineEvent>{};
}

std::vector<LineEvent> ReadVcdText(std::string_view text)
{
    const std::vector<std::string_view> tokens = Tokens(text);
    std::array<char, kSignals.size()> ids{};
    const std::optional<size_t> body = ReadDeclarations(tokens, ids);
    if (!body)
        return {};
    std::vector<LineEvent> record;
    int64_t time = -1;
    for (size_t i = *body; i < tokens.size(); ++i) {
        const std::string_view token = tokens[i];
        if (token == "$dumpvars" || token == "$end")
            continue;
        if (token[0] == '#') {
            int64_t next = -1;
            const auto [end, ec] = std::from_chars(token.data() + 1, token.data() + token.size(), next);
            if (ec != std::errc{} || end != token.data() + token.size() || next < time)
                return {};
            time = next;
        } else if (time < 0 || !ReadChange(token, time, ids, record)) {
            return {};
        }
    }
    return record;
}

}  // namespace sim
