#include "speech_test_env.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

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

int RunTestsIsolated(int argc, char** argv, ServiceSetup setup) {
  MakePrivateHome(setup);
  const pid_t child = fork();
  if (child == 0) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
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
