// The merged table, the engine volume formula and the name rule.
#include <gtest/gtest.h>

#include <climits>

#include "voice_table.h"

namespace {

TEST(VoiceTable, ServiceVoicesFirstThenEspeakNumberedFromOne) {
  EXPECT_EQ(BuildVoiceTable(1, 1), (std::vector<VoiceEntry>{{0, 5}, {1, 4}}));
  EXPECT_EQ(BuildVoiceTable(2, 3),
            (std::vector<VoiceEntry>{{0, 5}, {1, 5}, {1, 4}, {2, 4}, {3, 4}}));
  EXPECT_EQ(BuildVoiceTable(0, 2), (std::vector<VoiceEntry>{{1, 4}, {2, 4}}));
  EXPECT_TRUE(BuildVoiceTable(0, 0).empty());
  EXPECT_TRUE(BuildVoiceTable(-1, -3).empty());
}

TEST(ScaleVolume, MapsPercentOntoEngineRanges) {
  EXPECT_EQ(ScaleVolume(80, 0, 65535), 80 * 65535 / 100);
  EXPECT_EQ(ScaleVolume(80, 0, 65535), 52428);
  EXPECT_EQ(ScaleVolume(80, -10000, 0), -10000 + 80 * 10000 / 100);
  EXPECT_EQ(ScaleVolume(80, -10000, 0), -2000);
  EXPECT_EQ(ScaleVolume(0, -10000, 0), -10000);
  EXPECT_EQ(ScaleVolume(100, -10000, 0), 0);
  EXPECT_EQ(ScaleVolume(80, -100, 100), 60);
  EXPECT_EQ(ScaleVolume(33, 0, 100), 33);
  // Truncates toward zero: -100 + 1 * 201 / 100 = -98.
  EXPECT_EQ(ScaleVolume(1, -100, 101), -98);
}

TEST(ScaleVolume, WideRangeDoesNotOverflow) {
  EXPECT_EQ(ScaleVolume(100, INT_MIN, INT_MAX), INT_MAX);
  EXPECT_EQ(ScaleVolume(0, INT_MIN, INT_MAX), INT_MIN);
  EXPECT_EQ(ScaleVolume(50, INT_MIN, INT_MAX), -1);
}

TEST(ShorterName, TakesTheShorterAndTheSecondOnATie) {
  const std::string four = "Anna";
  const std::string fourteen = "Anna (Russian)";
  EXPECT_EQ(ShorterName(four, fourteen), "Anna");
  EXPECT_EQ(ShorterName(fourteen, four), "Anna");
  const std::string first = "abcd";
  const std::string second = "wxyz";
  EXPECT_EQ(&ShorterName(first, second), &second);
}

TEST(ShorterName, CountsCharactersNotBytes) {
  // "Ирина" is 10 bytes but 5 characters; "Irina!" is 6.
  EXPECT_EQ(ShorterName("Ирина", "Irina!"), "Ирина");
  const std::string cyrillic = "Анна";  // 8 bytes, 4 characters
  const std::string latin = "Anna";
  EXPECT_EQ(&ShorterName(cyrillic, latin), &latin);
}

}  // namespace
