// Ambrel's window on Win32: the controls, the 400 ms presence check (a thread
// timer of the main thread), the reader thread's readings and the speech
// controls. One window per process; its state is program-wide.
#pragma once

#include "speech_api.h"
#include "thermometer_state.h"

#include <windows.h>

#include <atomic>
#include <cstdint>

// Control identifiers, in the order of the control table.
enum AmbrelControl : int {
    kStatusLabel = 100,
    kTemperatureBox,
    kVoiceLabel,
    kVoiceList,
    kVolumeLabel,
    kVolumeSlider,
    kWizardCheck,
    kSayButton,
};

struct AmbrelWin32Services {
    SpeechApi speech;
    // The agent sequence. Runs on a thread of its own, reads temperatureWhole
    // once and returns when done; the window disables the speech controls
    // before it starts and enables them again after it. Null: left out.
    void (*runAgent)(const std::atomic<std::int32_t>* temperatureWhole) = nullptr;
    // Shows the box that ends a start-up without speech; null: MessageBoxW.
    void (*showNoSpeechBox)(const wchar_t* caption, const wchar_t* text) = nullptr;
};

// Start-up up to the event loop: binds the HID libraries, creates the font,
// the window and its controls, starts speech and fills the voice list, looks
// for the thermometer once, shows the window and starts the presence timer and
// the reader thread. Without any speech engine it shows "Голосовой движок не
// доступен!." and returns null; the window is then never shown.
HWND StartAmbrel(HINSTANCE instance, const AmbrelWin32Services& services);

// The event loop, until the window is closed; then the shutdown. Returns 0.
int RunAmbrel();

// Stops the timer and the reader, closes the thermometer and destroys the
// window and the font. RunAmbrel calls it; tests call it instead.
void ShutdownAmbrel();

// The presence check the timer runs; tests call it directly.
void AmbrelPresenceCheck();

// The shared values (TemperatureWhole, DeviceHandle) of the running window.
ThermometerState& AmbrelState();

// Volume as the user set it: 100 with the slider's thumb at the top.
int AmbrelVolume();
