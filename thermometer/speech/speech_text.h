// Text preparation for the speech engines: valid UTF-8, Russian degrees written
// out, and a map from the spoken text back to the caller's text for word events.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct SpeakableText {
  std::string text;                  // UTF-8 handed to the engine
  std::vector<int32_t> sourceIndex;  // per code point of `text`: code point index in the caller's text
};

// Decodes UTF-8; every byte of a malformed sequence becomes U+FFFD, so a bad
// text is spoken as far as it goes instead of upsetting an engine.
std::u32string DecodeUtf8(std::string_view utf8);
std::string EncodeUtf8(std::u32string_view text);

// "градус", "градуса" or "градусов" for a number written in decimal digits
// (integer part `digits`, possibly with a fractional part).
const char* DegreeWordForm(std::u32string_view digits, bool hasFraction);

// Rewrites "<number> °C" (also "°С" with a Cyrillic letter, with or without a
// blank) as Russian words: "-5 °C" -> "минус 5 градусов Цельсия". espeak-ng
// would otherwise read the sign as the English letter C.
SpeakableText MakeRussianSpeakable(std::string_view utf8);

// Same text with a plain one-to-one position map (for English speech).
SpeakableText MakePlainSpeakable(std::string_view utf8);

// SSML for speech-dispatcher: the UTF-8 text escaped, with a mark before every
// word named by that word's code point index in `text`.
std::string BuildSsmlWithWordMarks(std::string_view text);
