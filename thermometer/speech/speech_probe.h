// Diagnostics for tests and benchmarks; the program itself never calls these.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using SpeechSampleSink = void (*)(const int16_t* samples, int32_t count);

// Before the first start of espeak-ng: render into memory (22050 Hz mono) and
// hand the samples to `sink` on espeak-ng's thread instead of playing them.
void SpeechProbeUseRetrieval(SpeechSampleSink sink);

// Longest wait of SpeechInit for the speech service, in ms, in place of its
// own choice (0 while espeak-ng runs, 2000 without it); negative: its own.
void SpeechProbeSetServiceWait(int32_t ms);

// The last text handed to an engine (after the degrees were written out).
std::string SpeechProbeLastEngineText();

// What speech-dispatcher reported so far: "begin N", "end N", "cancel N" with
// N the utterance number (SpeechSay calls counted from 1).
std::vector<std::string> SpeechProbeServiceTrace();
