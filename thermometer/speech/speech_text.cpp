#include "speech_text.h"

#include "utf8.h"

namespace {

constexpr char32_t kDegreeSign = 0x00B0;
constexpr char32_t kMinusSign = 0x2212;
constexpr char32_t kCyrillicEs = 0x0421;

bool IsDigit(char32_t c) { return c >= U'0' && c <= U'9'; }
bool IsBlank(char32_t c) { return c == U' ' || c == 0x00A0 || c == 0x202F; }
bool IsLetter(char32_t c) {
  return (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z') || (c >= 0x0400 && c <= 0x04FF);
}
bool IsWordChar(char32_t c) { return IsLetter(c) || IsDigit(c); }

// A number written as digits, optionally with a sign and a decimal fraction.
struct NumberSpan {
  size_t begin = 0;      // first character (the sign when there is one)
  size_t digits = 0;     // first digit
  size_t intEnd = 0;     // end of the integer part
  size_t end = 0;        // end of the number
  bool negative = false;
};

bool ReadNumber(const std::u32string& s, size_t at, NumberSpan& n) {
  n = NumberSpan{at, at, at, at, false};
  if (at < s.size() && (s[at] == U'-' || s[at] == kMinusSign)) {
    if (at > 0 && IsWordChar(s[at - 1])) return false;
    n.negative = true;
    n.digits = at + 1;
  } else if (at > 0 && IsWordChar(s[at - 1])) {
    return false;
  }
  size_t i = n.digits;
  while (i < s.size() && IsDigit(s[i])) ++i;
  if (i == n.digits) return false;
  n.intEnd = i;
  if (i + 1 < s.size() && (s[i] == U'.' || s[i] == U',') && IsDigit(s[i + 1])) {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i;
  }
  n.end = i;
  return true;
}

// Returns the end of a "°C" sign starting at or after blanks from `at`, or 0.
size_t DegreesCelsiusEnd(const std::u32string& s, size_t at) {
  size_t i = at;
  while (i < s.size() && IsBlank(s[i])) ++i;
  if (i >= s.size() || s[i] != kDegreeSign) return 0;
  ++i;
  if (i >= s.size() || (s[i] != U'C' && s[i] != kCyrillicEs)) return 0;
  ++i;
  if (i < s.size() && IsWordChar(s[i])) return 0;
  return i;
}

class SpeakableBuilder {
 public:
  void Copy(char32_t c, size_t source) { Put(c, source); }
  void Words(std::u32string_view words, size_t source) {
    for (char32_t c : words) Put(c, source);
  }
  SpeakableText Finish() {
    return SpeakableText{EncodeUtf8(text_), std::move(sourceIndex_)};
  }

 private:
  void Put(char32_t c, size_t source) {
    text_.push_back(c);
    sourceIndex_.push_back(static_cast<int32_t>(source));
  }
  std::u32string text_;
  std::vector<int32_t> sourceIndex_;
};

void WriteDegrees(const std::u32string& s, const NumberSpan& n, size_t signAt,
                  SpeakableBuilder& out) {
  if (n.negative) out.Words(U"минус ", n.begin);
  for (size_t i = n.digits; i < n.end; ++i) out.Copy(s[i], i);
  const std::u32string_view digits(s.data() + n.digits, n.intEnd - n.digits);
  const std::u32string form = DecodeUtf8(DegreeWordForm(digits, n.end != n.intEnd));
  out.Words(U" ", signAt);
  out.Words(form, signAt);
  out.Words(U" Цельсия", signAt);
}

}  // namespace

std::u32string DecodeUtf8(std::string_view utf8) {
  std::u32string out;
  out.reserve(utf8.size());
  for (size_t pos = 0; pos < utf8.size();) out.push_back(NextUtf8(utf8, pos));
  return out;
}

std::string EncodeUtf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) AppendUtf8(out, c);
  return out;
}

const char* DegreeWordForm(std::u32string_view digits, bool hasFraction) {
  // A fraction takes the genitive singular: "23,5 градуса".
  if (hasFraction) return "градуса";
  const int last = digits.empty() ? 0 : static_cast<int>(digits.back() - U'0');
  const int tens = digits.size() < 2 ? 0 : static_cast<int>(digits[digits.size() - 2] - U'0');
  if (tens == 1) return "градусов";
  if (last == 1) return "градус";
  if (last >= 2 && last <= 4) return "градуса";
  return "градусов";
}

SpeakableText MakeRussianSpeakable(std::string_view utf8) {
  const std::u32string s = DecodeUtf8(utf8);
  SpeakableBuilder out;
  for (size_t i = 0; i < s.size();) {
    NumberSpan n;
    if (ReadNumber(s, i, n)) {
      const size_t signEnd = DegreesCelsiusEnd(s, n.end);
      if (signEnd != 0) {
        size_t signAt = n.end;
        while (IsBlank(s[signAt])) ++signAt;
        WriteDegrees(s, n, signAt, out);
        i = signEnd;
        continue;
      }
      for (; i < n.end; ++i) out.Copy(s[i], i);
      continue;
    }
    out.Copy(s[i], i);
    ++i;
  }
  return out.Finish();
}

SpeakableText MakePlainSpeakable(std::string_view utf8) {
  const std::u32string s = DecodeUtf8(utf8);
  SpeakableBuilder out;
  for (size_t i = 0; i < s.size(); ++i) out.Copy(s[i], i);
  return out.Finish();
}

std::string BuildSsmlWithWordMarks(std::string_view text) {
  const std::u32string s = DecodeUtf8(text);
  std::string out = "<speak>";
  for (size_t i = 0; i < s.size(); ++i) {
    const bool wordStart = IsWordChar(s[i]) && (i == 0 || !IsWordChar(s[i - 1]));
    if (wordStart) out += "<mark name=\"" + std::to_string(i) + "\"/>";
    switch (s[i]) {
      case U'<': out += "&lt;"; break;
      case U'>': out += "&gt;"; break;
      case U'&': out += "&amp;"; break;
      case U'"': out += "&quot;"; break;
      case U'\t': case U'\n': case U'\r': out += ' '; break;
      default:
        // Other control characters are not allowed in XML at all.
        if (s[i] < 0x20) {
          out += ' ';
          break;
        } out += EncodeUtf8(std::u32string_view(&s[i], 1));
    }
  }
  return out + "</speak>";
}
