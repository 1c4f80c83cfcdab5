// The speech output on the system's speech components: whatever this system
// offers, the table and the calls keep their contract. Under Wine 8 the
// automation voice is created but answers none of its calls, and the
// text-to-speech control is not registered.
#include "speech_output.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

int g_events = 0;
std::int32_t Count() { return ++g_events; }
std::int32_t CountWord(std::int32_t) { return ++g_events; }

TEST(SpeechWindows, VoiceTableFollowsWhatTheSystemOffers)
{
    const std::int32_t engines = SpeechInit(Count, Count, CountWord);
    EXPECT_GE(engines, 0);
    EXPECT_LE(engines, 3);
    EXPECT_EQ(SpeechInit(nullptr, nullptr, nullptr), engines) << "a second start keeps the first";
    const std::int32_t last = SpeechLastVoiceIndex();
    std::printf("engines %d, voices %d\n", engines, last + 1);
    for (std::int32_t i = 0; i <= last; ++i) {
        std::printf("  %d: %s\n", i, SpeechVoiceName(i).c_str());
        EXPECT_NE(SpeechVoiceName(i), "Unavailable");
    }
    EXPECT_EQ(SpeechVoiceName(last + 1), "Unavailable");
    EXPECT_EQ(SpeechVoiceName(-1), "Unavailable");
    EXPECT_EQ(SpeechSelectVoice(-1), 0);
    EXPECT_EQ(SpeechSelectVoice(last + 1), 0);
    if (last < 0) {
        // Nothing to speak with: the calls do nothing and say so.
        EXPECT_EQ(SpeechSetVolume(80), 0);
        EXPECT_EQ(SpeechSay("Текущая температура 0 °C"), 0);
        return;
    }
    EXPECT_EQ(SpeechSelectVoice(last), 1);
    EXPECT_EQ(SpeechSetVolume(80), 1);
    EXPECT_EQ(SpeechSetVolume(101), 0);
    EXPECT_EQ(SpeechSay("Текущая температура 0 °C"), 1);
    EXPECT_EQ(SpeechSay(nullptr), 0);
}

}  // namespace
