// speech-dispatcher for real, in a private home with audio to ALSA's null device,
// next to espeak-ng rendering into memory.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "speech_output.h"
#include "speech_probe.h"
#include "speech_test_env.h"
#include "speech_wait.h"

namespace {

void DiscardSamples(const int16_t*, int32_t) {}

bool TraceHas(const std::string& line) {
  const auto trace = SpeechProbeServiceTrace();
  return std::find(trace.begin(), trace.end(), line) != trace.end();
}

std::string TraceText() {
  std::string text;
  for (const auto& line : SpeechProbeServiceTrace()) text += line + "; ";
  return text;
}

class WithService : public testing::Test {
 protected:
  void SetUp() override { SpeechProbeUseRetrieval(DiscardSamples); }
  // Autospawning the daemon takes about a second; a loaded machine may need more.
  int32_t StartPatiently() {
    SpeechProbeSetServiceWait(kPatienceMs);
    return SpeechInit(RecordStart, RecordEnd, RecordWord);
  }
};

std::vector<std::string> VoiceNames() {
  std::vector<std::string> names;
  for (int32_t i = 0; i <= SpeechLastVoiceIndex(); ++i) names.push_back(SpeechVoiceName(i));
  return names;
}

int g_voiceListChanges = 0;

// Two modules of the generic kind with a few voices each: espeak-ng's list
// (13,000 voice x variant entries) takes libspeechd seconds to read, and
// minutes under AddressSanitizer.
void WriteGenericModules() {
  const auto modules = std::filesystem::path(SpeechdConfigPath()).parent_path() / "modules";
  std::filesystem::create_directories(modules);
  std::ofstream(modules / "russian.conf") << "GenericExecuteSynth \"true\"\n"
                                             "AddVoice \"ru\" \"MALE1\" \"Ivan\"\n"
                                             "AddVoice \"ru\" \"MALE2\" \"Ivan\"\n"
                                             "AddVoice \"en\" \"FEMALE1\" \"Jane\"\n"
                                             "AddVoice \"ru-RU\" \"FEMALE1\" \"Elena\"\n";
  std::ofstream(modules / "english-only.conf") << "GenericExecuteSynth \"true\"\n"
                                                  "AddVoice \"en\" \"MALE1\" \"John\"\n";
  WriteSpeechdConfig(
      "AudioOutputMethod \"alsa\"\n"
      "AudioALSADevice \"null\"\n"
      "AddModule \"russian\" \"sd_generic\" \"russian.conf\"\n"
      "AddModule \"english-only\" \"sd_generic\" \"english-only.conf\"\n"
      "DefaultModule russian\n"
      "Timeout 5\n");
}

TEST_F(WithService, ServiceVoicesThatSpeakRussianComeFirst) {
  WriteGenericModules();
  SpeechOnVoicesChanged([] { ++g_voiceListChanges; });
  EXPECT_EQ(StartPatiently(), 3);
  // Until the voices are listed, the modules stand in.
  ASSERT_TRUE(WaitUntil([] { return g_voiceListChanges == 1; })) << TraceText();
  // Each Russian voice once; a module without one keeps an entry of its own.
  EXPECT_EQ(VoiceNames(), (std::vector<std::string>{"Ivan", "Elena", "english-only", "ru", "ru-lv"}));
  EXPECT_EQ(SpeechVoiceName(SpeechLastVoiceIndex() + 1), "Unavailable");
}

TEST_F(WithService, AServiceThatAnswersLateJoinsTheTable) {
  // espeak-ng runs, so start-up does not wait for the daemon, still starting.
  SpeechOnVoicesChanged([] { ++g_voiceListChanges; });
  ASSERT_EQ(SpeechInit(RecordStart, RecordEnd, RecordWord), 2);
  ASSERT_EQ(SpeechVoiceName(0), "ru");
  ASSERT_EQ(SpeechVoiceName(1), "ru-lv");
  ASSERT_EQ(SpeechSelectVoice(1), 1);

  ASSERT_TRUE(WaitUntil([] { return g_voiceListChanges >= 1; })) << TraceText();
  ASSERT_EQ(SpeechLastVoiceIndex(), 2);  // the service's module, until its voices are listed
  EXPECT_EQ(SpeechVoiceName(1), "ru");
  EXPECT_EQ(SpeechVoiceName(2), "ru-lv");
  // The voice chosen before still speaks: espeak-ng in process, not the service.
  ASSERT_EQ(SpeechSay("Текущая температура 5 °C"), 1);
  ASSERT_TRUE(WaitUntil([] { return Log().ends == 1; }));
  EXPECT_FALSE(TraceHas("begin 1")) << TraceText();
  // And the service's voice is there to be chosen.
  ASSERT_EQ(SpeechSelectVoice(0), 1);
  ASSERT_EQ(SpeechSay("Текущая температура 6 °C"), 1);
  EXPECT_TRUE(WaitUntil([] { return TraceHas("end 2"); })) << TraceText();
}

TEST_F(WithService, SpeaksRussianDegreesWithWordEventsOnTheMainThread) {
  ASSERT_EQ(StartPatiently(), 3);
  ASSERT_EQ(SpeechSelectVoice(0), 1);
  ASSERT_EQ(SpeechSetVolume(80), 1);
  ASSERT_EQ(SpeechSay("Текущая температура -5 °C"), 1);
  ASSERT_TRUE(WaitUntil([] { return Log().ends == 1; })) << TraceText();
  EXPECT_EQ(SpeechProbeLastEngineText(), "Текущая температура минус 5 градусов Цельсия");
  EXPECT_TRUE(TraceHas("begin 1")) << TraceText();
  EXPECT_TRUE(TraceHas("end 1")) << TraceText();
  EXPECT_EQ(Log().starts, 1);
  EXPECT_FALSE(Log().offMainThread);
  // Marks for "Текущая", "температура", "минус", "5", "градусов", "Цельсия".
  EXPECT_EQ(Log().words, (std::vector<int32_t>{0, 8, 20, 21, 23, 23}));
}

TEST_F(WithService, SecondSayCutsOffTheFirst) {
  ASSERT_EQ(StartPatiently(), 3);
  ASSERT_EQ(SpeechSelectVoice(0), 1);
  std::string longText;
  for (int i = 0; i < 60; ++i) longText += "Текущая температура двадцать три градуса Цельсия. ";
  ASSERT_EQ(SpeechSay(longText), 1);
  ASSERT_TRUE(WaitUntil([] { return Log().starts == 1; })) << TraceText();
  ASSERT_EQ(SpeechSay("Текущая температура 1 °C"), 1);
  ASSERT_TRUE(WaitUntil([] { return TraceHas("end 2"); })) << TraceText();
  EXPECT_TRUE(TraceHas("cancel 1")) << TraceText();
  EXPECT_FALSE(TraceHas("end 1")) << TraceText();
  EXPECT_TRUE(TraceHas("begin 2")) << TraceText();
  EXPECT_EQ(SpeechProbeLastEngineText(), "Текущая температура 1 градус Цельсия");
}

TEST_F(WithService, WithoutEspeakNgStartUpWaitsForTheServiceToStart) {
  // An espeak-ng data folder without its files: espeak-ng cannot start.
  const std::string broken = TestHome() + "/broken-espeak";
  std::filesystem::create_directories(broken + "/espeak-ng-data");
  setenv("ESPEAK_DATA_PATH", broken.c_str(), 1);
  // A daemon that is not running yet and takes 0.6 s to start (its generic
  // modules load at once), longer than the wait used while espeak-ng runs.
  WriteGenericModules();
  const std::string daemon = TestHome() + "/speech-dispatcher";
  std::ofstream(daemon) << "#!/bin/sh\nsleep 0.6\nexec speech-dispatcher \"$@\"\n";
  std::filesystem::permissions(daemon, std::filesystem::perms::owner_all);
  setenv("SPEECHD_CMD", daemon.c_str(), 1);
  g_voiceListChanges = 0;
  SpeechOnVoicesChanged([] { ++g_voiceListChanges; });
  EXPECT_EQ(SpeechInit(RecordStart, RecordEnd, RecordWord), 1) << TraceText();
  // The service's voices, once listed (until then its modules stand in, for
  // a time that depends on the machine's load), and no espeak-ng voice.
  ASSERT_TRUE(WaitUntil([] { return g_voiceListChanges == 1; })) << TraceText();
  EXPECT_EQ(VoiceNames(), (std::vector<std::string>{"Ivan", "Elena", "english-only"}));
}

// Peak level of the 16-bit samples the daemon wrote from byte `from` on.
int32_t PeakFrom(const std::string& path, std::streamoff from) {
  std::ifstream file(path, std::ios::binary);
  file.seekg(from);
  int32_t peak = 0;
  int16_t sample = 0;
  while (file.read(reinterpret_cast<char*>(&sample), sizeof sample))
    peak = std::max(peak, std::abs(int32_t{sample}));
  return peak;
}

std::streamoff SizeOf(const std::string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  return error ? 0 : static_cast<std::streamoff>(size);
}

TEST_F(WithService, VolumeChangesWhatTheServicePlays) {
  const std::string audio = UseAlsaFileDevice();
  ASSERT_EQ(StartPatiently(), 3);
  ASSERT_EQ(SpeechSelectVoice(0), 1);
  std::vector<int32_t> peaks;
  for (int32_t percent : {80, 20, 0}) {
    ASSERT_EQ(SpeechSetVolume(percent), 1);
    const std::streamoff start = SizeOf(audio);
    const int endsBefore = Log().ends;
    ASSERT_EQ(SpeechSay("Текущая температура 23 °C"), 1);
    ASSERT_TRUE(WaitUntil([&] { return Log().ends > endsBefore; })) << TraceText();
    ASSERT_TRUE(WaitUntil([&] { return SizeOf(audio) > start; }));
    peaks.push_back(PeakFrom(audio, start));
  }
  EXPECT_GT(peaks[1], 0);
  EXPECT_GT(peaks[0], 2 * peaks[1]);
  EXPECT_EQ(peaks[2], 0);  // 0 % is the service's -100: silence
}

// A socket that takes connections and never answers: spd_open2 waits forever.
int ListenSilently() {
  const std::string dir = TestHome() + "/run/speech-dispatcher";
  std::filesystem::create_directories(dir);
  const std::string path = dir + "/speechd.sock";
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  path.copy(address.sun_path, sizeof address.sun_path - 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return -1;
  return listen(fd, 4) == 0 ? fd : -1;
}

TEST_F(WithService, SilentDaemonDoesNotHoldUpStartOrSpeech) {
  const int silent = ListenSilently();
  ASSERT_GE(silent, 0);
  // The default wait; the test ends only if SpeechInit gives up on its own.
  EXPECT_EQ(SpeechInit(RecordStart, RecordEnd, RecordWord), 2);
  ASSERT_GE(SpeechLastVoiceIndex(), 0);
  EXPECT_EQ(SpeechVoiceName(0), "ru");
  EXPECT_EQ(SpeechSelectVoice(0), 1);
  EXPECT_EQ(SpeechSay("Текущая температура 5 °C"), 1);
  // The socket stays open to the end, as a hung daemon's would: libspeechd
  // races with itself when a server hangs up in the middle of its greeting.
}

TEST_F(WithService, DaemonWithoutAudioNeverBlocksTheCaller) {
  // No sound server for "pulse": messages begin but never end, and the next
  // spd_say of a client blocks inside libspeechd.
  WriteSpeechdConfig(
      "AudioOutputMethod \"pulse\"\n"
      "AddModule \"espeak-ng\" \"sd_espeak-ng\" \"espeak-ng.conf\"\n"
      "DefaultModule espeak-ng\n"
      "Timeout 5\n");
  ASSERT_EQ(StartPatiently(), 3);
  ASSERT_EQ(SpeechSelectVoice(0), 1);
  for (int press = 0; press < 5; ++press) {
    EXPECT_EQ(SpeechSetVolume(80), 1);
    EXPECT_EQ(SpeechSay("Текущая температура 5 °C"), 1);
  }
  // Switching to espeak-ng in process still speaks while the service hangs.
  ASSERT_EQ(SpeechSelectVoice(1), 1);
  ASSERT_EQ(SpeechSay("Текущая температура 5 °C"), 1);
  EXPECT_TRUE(WaitUntil([] { return Log().ends >= 1; }));
}

}  // namespace

int main(int argc, char** argv) { return RunTestsIsolated(argc, argv, ServiceSetup::NullAudio); }
