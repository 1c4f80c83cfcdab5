// Ambrel's speech output and agent character on Windows.
#include "system_services_win32.h"

#include "agent_sequence_win32.h"
#include "speech_output.h"

namespace {

std::int32_t Quiet() { return 0; }
std::int32_t QuietWord(std::int32_t) { return 0; }
std::int32_t InitSpeech() { return SpeechInit(Quiet, Quiet, QuietWord); }
std::int32_t Say(const char* text) { return SpeechSay(text); }
void RunAgent(const std::atomic<std::int32_t>* temperatureWhole) { RunAgentSequence(temperatureWhole); }

}  // namespace

AmbrelWin32Services SystemServices()
{
    AmbrelWin32Services services;
    services.speech.init = InitSpeech;
    services.speech.lastVoiceIndex = SpeechLastVoiceIndex;
    services.speech.voiceName = SpeechVoiceName;
    services.speech.selectVoice = SpeechSelectVoice;
    services.speech.setVolume = SpeechSetVolume;
    services.speech.say = Say;
    services.runAgent = RunAgent;
    return services;
}
