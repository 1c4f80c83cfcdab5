#include "speech_test_env.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string home;

const char* kNullAudioConfig =
    "AudioOutputMethod \"alsa\"\n"
    "AudioALSADevice \"null\"\n"
    "AddModule \"espeak-ng\" \"sd_espeak-ng\" \"espeak-ng.conf\"\n"
    "DefaultModule espeak-ng\n"
    "Timeout 5\n";

void MakePrivateHome(ServiceSetup setup) {
  std::string pattern = (fs::temp_directory_path() / "ambrel-speech-XXXXXX").string();
  if (!mkdtemp(pattern.data())) std::abort();
  home = pattern;
  fs::create_directories(home + "/run");
  fs::permissions(home + "/run", fs::perms::owner_all);
  fs::create_directories(home + "/config/speech-dispatcher");
  setenv("HOME", home.c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (home + "/run").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
  setenv("XDG_CACHE_HOME", (home + "/cache").c_str(), 1);
  unsetenv("SPEECHD_ADDRESS");
  if (setup == ServiceSetup::Absent) {
    setenv("SPEECHD_CMD", (home + "/no-speech-dispatcher").c_str(), 1);
  } else {
    unsetenv("SPEECHD_CMD");
    WriteSpeechdConfig(kNullAudioConfig);
  }
}

pid_t DaemonPid() {
  std::ifstream file(home + "/run/speech-dispatcher/pid/speech-dispatcher.pid");
  pid_t pid = 0;
  file >> pid;
  return pid;
}

// The daemon leaves 5 s after its last client; one stuck on audio is killed.
void WaitForDaemon() {
  const pid_t pid = DaemonPid();
  if (pid <= 0) return;
  for (int i = 0; i < 150 && kill(pid, 0) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  if (kill(pid, 0) == 0) kill(pid, SIGKILL);
}

}  // namespace

const std::string& TestHome() { return home; }

std::string SpeechdConfigPath() { return home + "/config/speech-dispatcher/speechd.conf"; }

void WriteSpeechdConfig(const std::string& text) {
  std::ofstream(SpeechdConfigPath(), std::ios::trunc) << text;
}

std::string UseAlsaFileDevice() {
  const std::string audio = home + "/speech.raw";
  std::ofstream(home + "/.asoundrc", std::ios::trunc)
      << "pcm.speechfile {\n  type file\n  slave.pcm \"null\"\n  file \"" << audio
      << "\"\n  format \"raw\"\n}\n";
  WriteSpeechdConfig(std::string(kNullAudioConfig) + "AudioALSADevice \"speechfile\"\n");
  return audio;
}

namespace {

// gtest's filter rule: positive patterns, then "-" and negative ones, each
// list separated by ":", with "*" and "?" as wildcards.
bool Glob(const char* pattern, const char* name) {
  if (*pattern == '\0') return *name == '\0';
  if (*pattern == '*') return Glob(pattern + 1, name) || (*name && Glob(pattern, name + 1));
  return *name && (*pattern == '?' || *pattern == *name) && Glob(pattern + 1, name + 1);
}

bool AnyMatches(const std::string& patterns, const std::string& name) {
  std::size_t at = 0;
  for (;;) {
    const std::size_t end = patterns.find(':', at);
    if (Glob(patterns.substr(at, end - at).c_str(), name.c_str())) return true;
    if (end == std::string::npos) return false;
    at = end + 1;
  }
}

bool Selected(const std::string& filter, const std::string& name) {
  const std::size_t dash = filter.find('-');
  const std::string positive = filter.substr(0, dash);
  if (!AnyMatches(positive.empty() ? "*" : positive, name)) return false;
  return dash == std::string::npos || !AnyMatches(filter.substr(dash + 1), name);
}

// One child process in a fresh private home; only the named case when one
// is given, else whatever the command line selects.
int RunInChild(int argc, char** argv, ServiceSetup setup, const std::string& onlyCase) {
  MakePrivateHome(setup);
  const pid_t child = fork();
  if (child == 0) {
    QCoreApplication app(argc, argv);
    if (!onlyCase.empty()) testing::GTEST_FLAG(filter) = onlyCase;
    // Skip destructors: engine threads may still be reporting.
    std::fflush(nullptr);
    _exit(RUN_ALL_TESTS());
  }
  int status = 1;
  if (child > 0) waitpid(child, &status, 0);
  WaitForDaemon();
  std::error_code ignored;
  fs::remove_all(home, ignored);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

// The speech engines keep process-wide state that cannot be undone (espeak-ng
// started once, the voice table built once, a daemon found or not), and the
// cases count callbacks from zero: run whole in one process, the counts carry
// over and the waits for an exact count stall. So every case gets a process
// and a home of its own, as it does when CTest runs the cases one by one.
int RunTestsIsolated(int argc, char** argv, ServiceSetup setup) {
  testing::InitGoogleTest(&argc, argv);
  if (testing::GTEST_FLAG(list_tests)) return RunInChild(argc, argv, setup, "");
  const std::string filter = testing::GTEST_FLAG(filter);
  std::vector<std::string> cases;
  const testing::UnitTest& all = *testing::UnitTest::GetInstance();
  for (int i = 0; i < all.total_test_suite_count(); ++i) {
    const testing::TestSuite& suite = *all.GetTestSuite(i);
    for (int j = 0; j < suite.total_test_count(); ++j) {
      const std::string name = std::string(suite.name()) + "." + suite.GetTestInfo(j)->name();
      if (Selected(filter, name) && name.find("DISABLED_") == std::string::npos) cases.push_back(name);
    }
  }
  if (cases.size() <= 1) return RunInChild(argc, argv, setup, "");
  std::vector<std::string> failed;
  for (const std::string& name : cases)
    if (RunInChild(argc, argv, setup, name) != 0) failed.push_back(name);
  std::printf("%zu cases, each in a process of its own; %zu failed\n", cases.size(), failed.size());
  for (const std::string& name : failed) std::printf("  FAILED: %s\n", name.c_str());
  return failed.empty() ? 0 : 1;
}
