#include "voice_table.h"

#include "speech_text.h"

std::vector<VoiceEntry> BuildVoiceTable(int32_t modernCount, int32_t legacyCount) {
  std::vector<VoiceEntry> table;
  for (int32_t i = 0; i < modernCount; ++i) table.push_back({i, kModernKind});
  for (int32_t i = 0; i < legacyCount; ++i) table.push_back({i + 1, kLegacyKind});
  return table;
}

int32_t ScaleVolume(int32_t percent, int32_t lowest, int32_t highest) {
  const int64_t span = static_cast<int64_t>(highest) - lowest;
  return static_cast<int32_t>(lowest + percent * span / 100);
}

const std::string& ShorterName(const std::string& first, const std::string& second) {
  return DecodeUtf8(first).size() < DecodeUtf8(second).size() ? first : second;
}
