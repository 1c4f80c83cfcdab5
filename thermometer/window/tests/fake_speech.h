// A speech output for window tests: a voice list chosen by the test, and a
// record of what the window asked for.
#pragma once

#include "ambrel_services.h"

#include <string>
#include <vector>

struct FakeSpeech {
    std::int32_t engines = 3;
    std::vector<std::string> voices{"Anna", "Irina"};
    std::vector<std::string> said;
    std::vector<std::int32_t> selected;
    std::vector<std::int32_t> volumes;
    int initCalls = 0;
    void (*voicesChanged)() = nullptr;  // what the window registered
};

// The one fake in use; reset by each test.
FakeSpeech& TheFakeSpeech();
SpeechApi FakeSpeechApi();
