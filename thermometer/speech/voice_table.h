// The merged voice list and the arithmetic both engines share.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int32_t kModernKind = 5;  // speech-dispatcher
constexpr int32_t kLegacyKind = 4;  // espeak-ng

struct VoiceEntry {
  int32_t engineIndex;  // kind 5: 0-based; kind 4: 1-based
  int32_t kind;
  bool operator==(const VoiceEntry&) const = default;
};

// modernCount kind-5 entries first, then legacyCount kind-4 entries.
// Negative counts are taken as 0.
std::vector<VoiceEntry> BuildVoiceTable(int32_t modernCount, int32_t legacyCount);

// lowest + percent * (highest - lowest) / 100, truncated toward zero. Computed
// wide so that a range spanning most of int32 cannot overflow.
int32_t ScaleVolume(int32_t percent, int32_t lowest, int32_t highest);

// The shorter of two names in characters (not bytes); `second` on equal length.
const std::string& ShorterName(const std::string& first, const std::string& second);
