// The speech output library (libspeechd voices and espeak-ng).
#include "ambrel_services.h"

#include "speech_output.h"

namespace {

std::int32_t Quiet()
{
    return 0;
}

std::int32_t QuietWord(std::int32_t)
{
    return 0;
}

std::int32_t InitSpeech()
{
    return SpeechInit(Quiet, Quiet, QuietWord);
}

std::int32_t Say(const char* text)
{
    return SpeechSay(text);
}

}  // namespace

SpeechApi SystemSpeech()
{
    SpeechApi api;
    api.init = InitSpeech;
    api.lastVoiceIndex = SpeechLastVoiceIndex;
    api.voiceName = SpeechVoiceName;
    api.selectVoice = SpeechSelectVoice;
    api.setVolume = SpeechSetVolume;
    api.say = Say;
    api.watchVoices = SpeechOnVoicesChanged;
    return api;
}
