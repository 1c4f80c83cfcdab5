// The character's voice: the speech output's English voice.
#include "speech_output.h"

#include <string>

void SpeakWithDefaultVoice(const std::string& text)
{
    SpeechSayWithLanguage(text.c_str(), "en", 100);
}

void StopDefaultVoice()
{
    SpeechStopWithLanguage();
}
