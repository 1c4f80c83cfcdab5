// What a window needs from the speech output, as a record of functions so
// that tests can put their own in place. Texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>

struct SpeechApi {
    // Result: engines present (0 = no speech). The callbacks do nothing.
    std::int32_t (*init)() = nullptr;
    std::int32_t (*lastVoiceIndex)() = nullptr;
    std::string (*voiceName)(std::int32_t index) = nullptr;
    std::int32_t (*selectVoice)(std::int32_t index) = nullptr;
    std::int32_t (*setVolume)(std::int32_t percent) = nullptr;
    std::int32_t (*say)(const char* text) = nullptr;
    // Registers what runs on the main thread when the voice list changed
    // after start-up (a speech service that answered late); may be null.
    void (*watchVoices)(void (*changed)()) = nullptr;
};
