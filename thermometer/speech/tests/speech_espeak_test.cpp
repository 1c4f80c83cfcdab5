// espeak-ng for real, rendering into memory, with no speech service reachable.
#include <espeak-ng/speak_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>

#include "speech_output.h"
#include "speech_probe.h"
#include "speech_test_env.h"
#include "speech_wait.h"

namespace {

std::atomic<int64_t> sampleCount{0};
std::atomic<int32_t> peak{0};

void CountSamples(const int16_t* samples, int32_t count) {
  int32_t loudest = peak.load();
  for (int32_t i = 0; i < count; ++i) loudest = std::max(loudest, std::abs(int32_t{samples[i]}));
  peak = loudest;
  sampleCount += count;
}

class EspeakOnly : public testing::Test {
 protected:
  void SetUp() override {
    SpeechProbeUseRetrieval(CountSamples);
    engines_ = SpeechInit(RecordStart, RecordEnd, RecordWord);
  }
  // Speaks and waits until the engine has finished; returns the peak level.
  int32_t SpeakFully(const char* text) {
    peak = 0;
    const int endsBefore = Log().ends;
    EXPECT_EQ(SpeechSay(text), 1);
    EXPECT_TRUE(WaitUntil([&] { return Log().ends > endsBefore; }));
    return peak;
  }
  int32_t engines_ = 0;
};

TEST_F(EspeakOnly, StartsWhenNoServiceCanBeStartedAndListsRussianVoices) {
  EXPECT_EQ(engines_, 2);
  ASSERT_GE(SpeechLastVoiceIndex(), 0);
  std::vector<std::string> names;
  for (int32_t i = 0; i <= SpeechLastVoiceIndex(); ++i) names.push_back(SpeechVoiceName(i));
  // Name "Russian" against language "ru": the shorter wins.
  EXPECT_EQ(names.front(), "ru");
  for (const std::string& name : names) EXPECT_EQ(name.rfind("ru", 0), 0u) << name;
  // A list for people: a few voices, not every variant.
  EXPECT_LT(names.size(), 5u);
}

TEST_F(EspeakOnly, IndexOutsideTheTableChangesNothing) {
  const int32_t last = SpeechLastVoiceIndex();
  EXPECT_EQ(SpeechVoiceName(-1), "Unavailable");
  EXPECT_EQ(SpeechVoiceName(last + 1), "Unavailable");
  EXPECT_EQ(SpeechSelectVoice(-1), 0);
  EXPECT_EQ(SpeechSelectVoice(last + 1), 0);
  EXPECT_EQ(SpeechSelectVoice(last), 1);
  EXPECT_EQ(SpeechSetVolume(101), 0);
  EXPECT_EQ(SpeechSetVolume(-1), 0);
  EXPECT_EQ(SpeechSay(static_cast<const char*>(nullptr)), 0);
  // A second start keeps the first table.
  EXPECT_EQ(SpeechInit(nullptr, nullptr, nullptr), engines_);
  EXPECT_EQ(SpeechLastVoiceIndex(), last);
}

TEST_F(EspeakOnly, MinusFiveIsSpokenAsRussianDegrees) {
  ASSERT_EQ(SpeechSelectVoice(0), 1);
  ASSERT_EQ(SpeechSetVolume(80), 1);
  EXPECT_GT(SpeakFully("Текущая температура -5 °C"), 0);
  EXPECT_EQ(SpeechProbeLastEngineText(), "Текущая температура минус 5 градусов Цельсия");
  EXPECT_EQ(Log().starts, 1);
  EXPECT_EQ(Log().ends, 1);
  EXPECT_FALSE(Log().offMainThread);
  // Words are reported at their place in the text given: "Текущая" 0,
  // "температура" 8, the sign 20 (spoken "минус"), "5" 21, the degrees 23.
  ASSERT_FALSE(Log().words.empty());
  EXPECT_EQ(Log().words.front(), 0);
  EXPECT_NE(std::find(Log().words.begin(), Log().words.end(), 8), Log().words.end());
  EXPECT_NE(std::find(Log().words.begin(), Log().words.end(), 23), Log().words.end());
  EXPECT_TRUE(std::is_sorted(Log().words.begin(), Log().words.end()));
  EXPECT_LE(Log().words.back(), 23);
}

// What the Russian voice makes of a text, in espeak-ng's phoneme notation.
std::string RussianPhonemes(const std::string& text) {
  espeak_Synchronize();  // espeak-ng's own thread must be idle for a direct call
  EXPECT_EQ(espeak_SetVoiceByName("Russian"), EE_OK);
  const void* rest = text.c_str();
  std::string phonemes;
  while (rest) phonemes += espeak_TextToPhonemes(&rest, espeakCHARS_UTF8, 0);
  return phonemes;
}

TEST_F(EspeakOnly, HandedOverTextIsHeardAsRussianDegrees) {
  ASSERT_EQ(SpeechSelectVoice(0), 1);
  SpeakFully("Текущая температура -5 °C");
  const std::string heard = RussianPhonemes(SpeechProbeLastEngineText());
  EXPECT_NE(heard.find("m;'inus"), std::string::npos) << heard;
  EXPECT_NE(heard.find("g@-r'AdusVf"), std::string::npos) << heard;  // градусов
  EXPECT_EQ(heard.find("(en)"), std::string::npos) << heard;        // no English letter C
  // The raw text really is the fault being avoided: "пять си", no minus.
  const std::string raw = RussianPhonemes("Текущая температура -5 °C");
  EXPECT_NE(raw.find("(en)s'i:"), std::string::npos) << raw;
}

TEST_F(EspeakOnly, VolumeChangesTheLevel) {
  ASSERT_EQ(SpeechSelectVoice(0), 1);
  ASSERT_EQ(SpeechSetVolume(80), 1);
  const int32_t loud = SpeakFully("Текущая температура 23 °C");
  ASSERT_EQ(SpeechSetVolume(20), 1);
  const int32_t quiet = SpeakFully("Текущая температура 23 °C");
  ASSERT_EQ(SpeechSetVolume(0), 1);
  const int32_t silent = SpeakFully("Текущая температура 23 °C");
  EXPECT_GT(quiet, 0);
  EXPECT_GT(loud, 2 * quiet);
  EXPECT_EQ(silent, 0);
}

TEST_F(EspeakOnly, SecondSayCutsOffTheFirst) {
  ASSERT_EQ(SpeechSelectVoice(0), 1);
  std::string longText;
  for (int i = 0; i < 40; ++i) longText += "Текущая температура двадцать три градуса Цельсия. ";
  ASSERT_EQ(SpeechSay(longText), 1);
  ASSERT_TRUE(WaitUntil([] { return !Log().words.empty(); }));
  sampleCount = 0;
  ASSERT_EQ(SpeechSay("Стоп"), 1);
  ASSERT_TRUE(WaitUntil([] { return Log().ends == 2; }));
  QTest::qWait(200);  // let stray events of the first text show up, if any
  EXPECT_EQ(Log().starts, 2);
  EXPECT_EQ(Log().ends, 2);
  // After the cut only "Стоп" was rendered: far less than one sentence.
  EXPECT_EQ(Log().words.back(), 0);
  EXPECT_LT(sampleCount.load(), 22050 * 2);
}

TEST_F(EspeakOnly, AgentSpeechUsesAnEnglishVoiceWithoutWindowCallbacks) {
  sampleCount = 0;
  ASSERT_EQ(SpeechSayWithLanguage("Current temperature -5 °C", "en", 80), 1);
  ASSERT_TRUE(WaitUntil([] { return sampleCount > 22050 / 2; }));
  QTest::qWait(200);
  EXPECT_EQ(Log().starts, 0);
  EXPECT_TRUE(Log().words.empty());
  EXPECT_EQ(SpeechSayWithLanguage("Hello", "no-such-language", 80), 0);
  EXPECT_EQ(SpeechSayWithLanguage("Hello", "", 80), 0);
  EXPECT_EQ(SpeechSayWithLanguage(nullptr, "en", 80), 0);
  EXPECT_EQ(SpeechSayWithLanguage("Hello", "en", 101), 0);
}

TEST_F(EspeakOnly, AgentSpeechIsCutOffByStopAndTheWindowsIsNot) {
  std::string longText;
  for (int i = 0; i < 40; ++i) longText += "The current temperature is twenty three degrees Celsius. ";
  sampleCount = 0;
  ASSERT_EQ(SpeechSayWithLanguage(longText.c_str(), "en", 80), 1);
  ASSERT_TRUE(WaitUntil([] { return sampleCount > 22050 / 2; }));
  SpeechStopWithLanguage();
  QTest::qWait(300);
  const long afterStop = sampleCount.load();
  QTest::qWait(300);
  EXPECT_EQ(sampleCount.load(), afterStop) << "nothing more is rendered";
  EXPECT_LT(afterStop, 22050L * 60) << "far less than the whole text";

  // Stopping the agent leaves the window's own speech alone.
  ASSERT_EQ(SpeechSelectVoice(0), 1);
  ASSERT_EQ(SpeechSay("Текущая температура двадцать три градуса"), 1);
  SpeechStopWithLanguage();
  EXPECT_TRUE(WaitUntil([] { return Log().ends == 1; }));
  EXPECT_EQ(Log().starts, 1);
}

TEST_F(EspeakOnly, AgentThreadAndWindowSpeakAtOnce) {
  ASSERT_EQ(SpeechSelectVoice(0), 1);
  std::atomic<int> agentSaid{0};
  std::thread agent([&] {
    for (int i = 0; i < 20; ++i) agentSaid += SpeechSayWithLanguage("Current temperature 5", "en");
  });
  int windowSaid = 0;
  for (int i = 0; i < 20; ++i) windowSaid += SpeechSay("Текущая температура 5 °C");
  agent.join();
  EXPECT_EQ(agentSaid, 20);
  EXPECT_EQ(windowSaid, 20);
  // The window's voice still works and still reports its end afterwards.
  const int endsBefore = Log().ends;
  ASSERT_EQ(SpeechSay("Текущая температура 5 °C"), 1);
  EXPECT_TRUE(WaitUntil([&] { return Log().ends > endsBefore; }));
  EXPECT_FALSE(Log().offMainThread);
}

TEST(EspeakStartedByAgent, WindowStillGetsItsCallbacks) {
  SpeechProbeUseRetrieval(CountSamples);
  ASSERT_EQ(SpeechSayWithLanguage("Hello", "en", 50), 1);
  ASSERT_EQ(SpeechInit(RecordStart, RecordEnd, RecordWord), 2);
  ASSERT_EQ(SpeechSelectVoice(0), 1);
  ASSERT_EQ(SpeechSay("Текущая температура 5 °C"), 1);
  EXPECT_TRUE(WaitUntil([] { return Log().ends == 1; }));
  EXPECT_EQ(Log().starts, 1);
  EXPECT_FALSE(Log().words.empty());
}

TEST_F(EspeakOnly, MalformedTextIsSpokenAsFarAsItGoes) {
  ASSERT_EQ(SpeechSelectVoice(0), 1);
  EXPECT_GT(SpeakFully("Текущая \xFF\xFE температура \xD0"), 0);
  EXPECT_EQ(SpeechProbeLastEngineText(), "Текущая \uFFFD\uFFFD температура \uFFFD");
}

}  // namespace

int main(int argc, char** argv) { return RunTestsIsolated(argc, argv, ServiceSetup::Absent); }
