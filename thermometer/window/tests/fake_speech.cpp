#include "fake_speech.h"

namespace {

std::int32_t Init()
{
    ++TheFakeSpeech().initCalls;
    return TheFakeSpeech().engines;
}

std::int32_t LastVoiceIndex()
{
    return static_cast<std::int32_t>(TheFakeSpeech().voices.size()) - 1;
}

bool Known(std::int32_t index)
{
    return index >= 0 && index <= LastVoiceIndex();
}

std::string VoiceName(std::int32_t index)
{
    return Known(index) ? TheFakeSpeech().voices[static_cast<size_t>(index)] : "Unavailable";
}

std::int32_t Select(std::int32_t index)
{
    TheFakeSpeech().selected.push_back(index);
    return Known(index) ? 1 : 0;
}

std::int32_t Volume(std::int32_t percent)
{
    TheFakeSpeech().volumes.push_back(percent);
    return TheFakeSpeech().voices.empty() ? 0 : 1;
}

std::int32_t Say(const char* text)
{
    TheFakeSpeech().said.push_back(text ? text : "");
    return TheFakeSpeech().voices.empty() ? 0 : 1;
}

void WatchVoices(void (*changed)())
{
    TheFakeSpeech().voicesChanged = changed;
}

}  // namespace

FakeSpeech& TheFakeSpeech()
{
    static FakeSpeech speech;
    return speech;
}

SpeechApi FakeSpeechApi()
{
    SpeechApi api;
    api.init = Init;
    api.lastVoiceIndex = LastVoiceIndex;
    api.voiceName = VoiceName;
    api.selectVoice = Select;
    api.setVolume = Volume;
    api.say = Say;
    api.watchVoices = WatchVoices;
    return api;
}
