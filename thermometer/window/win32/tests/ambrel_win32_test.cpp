// Ambrel's Win32 window in process (under Wine with a display), with the HID
// libraries replaced by named-pipe devices and the speech output by a recorder.
#include "ambrel_win32.h"
#include "fake_windows_hid.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

struct SpeechRecord {
    std::vector<std::string> voices{"Anna", "svetlana", "Irina"};
    std::int32_t engines = 1;
    std::int32_t selected = -2;
    std::int32_t volume = -1;
    std::string said;
    int agentRuns = 0;
    bool controlsDisabledDuringAgent = false;
    std::wstring boxCaption, boxText;
};
SpeechRecord g_speech;

std::int32_t Init() { return g_speech.engines; }
std::int32_t LastVoiceIndex() { return static_cast<std::int32_t>(g_speech.voices.size()) - 1; }
std::string VoiceName(std::int32_t i) { return g_speech.voices.at(static_cast<size_t>(i)); }
std::int32_t Select(std::int32_t i) { g_speech.selected = i; return 1; }
std::int32_t Volume(std::int32_t v) { g_speech.volume = v; return 1; }
std::int32_t Say(const char* text) { g_speech.said = text; return 1; }
void Box(const wchar_t* caption, const wchar_t* text) { g_speech.boxCaption = caption; g_speech.boxText = text; }

HWND g_window = nullptr;

void RunAgent(const std::atomic<std::int32_t>*)
{
    ++g_speech.agentRuns;
    g_speech.controlsDisabledDuringAgent = !IsWindowEnabled(GetDlgItem(g_window, kSayButton)) &&
                                           !IsWindowEnabled(GetDlgItem(g_window, kVoiceList)) &&
                                           !IsWindowEnabled(GetDlgItem(g_window, kVolumeSlider)) &&
                                           !IsWindowEnabled(GetDlgItem(g_window, kWizardCheck));
}

AmbrelWin32Services Services()
{
    AmbrelWin32Services services;
    services.speech.init = Init;
    services.speech.lastVoiceIndex = LastVoiceIndex;
    services.speech.voiceName = VoiceName;
    services.speech.selectVoice = Select;
    services.speech.setVolume = Volume;
    services.speech.say = Say;
    services.runAgent = RunAgent;
    services.showNoSpeechBox = Box;
    return services;
}

std::wstring Text(int id)
{
    wchar_t text[128] = {};
    GetWindowTextW(GetDlgItem(g_window, id), text, 128);
    return text;
}

// Dispatches the window's messages until done() holds or 5 s have passed.
template <typename Done>
bool PumpUntil(Done done)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(10);
    }
    return true;
}

RECT ClientRectOf(int id)
{
    RECT r;
    GetWindowRect(GetDlgItem(g_window, id), &r);
    MapWindowPoints(nullptr, g_window, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

class AmbrelWin32 : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_speech = SpeechRecord{};
        g_window = StartAmbrel(GetModuleHandleW(nullptr), Services());
        ASSERT_NE(g_window, nullptr);
    }
    void TearDown() override { ShutdownAmbrel(); }
    FakeWindowsHid hid;
};

TEST_F(AmbrelWin32, WithoutThermometerShowsNoConnectionAndOffInTheLaidOutWindow)
{
    EXPECT_EQ(Text(kStatusLabel), L"Нет связи с термометром");
    EXPECT_EQ(Text(kTemperatureBox), L"OFF");
    EXPECT_EQ(Text(kVoiceLabel), L"Голосовой движок");
    EXPECT_EQ(Text(kVolumeLabel), L"Громкость");
    EXPECT_EQ(Text(kWizardCheck), L"Волшебник");
    EXPECT_EQ(Text(kSayButton), L"Сказать");
    wchar_t title[32] = {};
    GetWindowTextW(g_window, title, 32);
    EXPECT_STREQ(title, L"Ambrel");

    RECT client;
    GetClientRect(g_window, &client);
    EXPECT_EQ(client.right, 170);
    EXPECT_EQ(client.bottom, 170);
    LONG style = GetWindowLongW(g_window, GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & (WS_MAXIMIZEBOX | WS_THICKFRAME));
    EXPECT_TRUE(GetWindowLongW(g_window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(IsWindowVisible(g_window));
    RECT frame;
    GetWindowRect(g_window, &frame);
    EXPECT_NEAR((frame.left + frame.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((frame.top + frame.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);

    RECT box = ClientRectOf(kTemperatureBox);
    EXPECT_EQ(box.left, 16);
    EXPECT_EQ(box.top, 24);
    EXPECT_EQ(box.right - box.left, 140);
    EXPECT_EQ(box.bottom - box.top, 40);
    RECT slider = ClientRectOf(kVolumeSlider);
    EXPECT_EQ(slider.left, 140);
    EXPECT_EQ(slider.top, 90);
    EXPECT_EQ(slider.bottom - slider.top, 80);
    RECT say = ClientRectOf(kSayButton);
    EXPECT_EQ(say.left, 16);
    EXPECT_EQ(say.top, 134);

    HWND boxWindow = GetDlgItem(g_window, kTemperatureBox);
    EXPECT_TRUE(GetWindowLongW(boxWindow, GWL_STYLE) & ES_READONLY);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(boxWindow, WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_STREQ(font.lfFaceName, L"Arial");
    EXPECT_EQ(font.lfWeight, FW_BOLD);
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(font.lfHeight, -MulDiv(22, GetDeviceCaps(screen, LOGPIXELSY), 72));
    ReleaseDC(nullptr, screen);

    // Case-blind "Svetlana" is chosen; the slider stands at 80 with 100 on top.
    EXPECT_EQ(SendMessageW(GetDlgItem(g_window, kVoiceList), CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(AmbrelVolume(), 80);
    HWND volume = GetDlgItem(g_window, kVolumeSlider);
    EXPECT_TRUE(GetWindowLongW(volume, GWL_STYLE) & TBS_VERT);
    SendMessageW(volume, TBM_SETPOS, TRUE, SendMessageW(volume, TBM_GETRANGEMIN, 0, 0));
    EXPECT_EQ(AmbrelVolume(), 100) << "the top end is 100";
}

TEST_F(AmbrelWin32, ReadingsAreShownAndUnplugShowsOff)
{
    int device = hid.PlugThermometer();
    AmbrelPresenceCheck();
    EXPECT_EQ(Text(kStatusLabel), L"Термометр подключён");
    ASSERT_NE(AmbrelState().DeviceHandle.load(), 0);
    hid.Send(device, {0x00, 0x70, 0x01});
    EXPECT_TRUE(PumpUntil([] { return Text(kTemperatureBox) == L"23.0 °C"; }));
    EXPECT_EQ(AmbrelState().TemperatureWhole.load(), 23);
    hid.Send(device, {0x00, 0x60, 0x09});  // 150.0: dropped
    hid.Send(device, {0x00, 0xFF, 0xFF});
    EXPECT_TRUE(PumpUntil([] { return Text(kTemperatureBox) == L"-0.1 °C"; }));
    EXPECT_EQ(AmbrelState().TemperatureWhole.load(), 0);

    hid.Unplug(device);
    AmbrelPresenceCheck();
    EXPECT_EQ(Text(kStatusLabel), L"Нет связи с термометром");
    EXPECT_EQ(Text(kTemperatureBox), L"OFF");
    EXPECT_EQ(AmbrelState().DeviceHandle.load(), 0);
}

TEST_F(AmbrelWin32, SaySpeaksWithTheChosenVoiceOrHandsOverToTheAgent)
{
    HWND say = GetDlgItem(g_window, kSayButton);
    SendMessageW(say, BM_CLICK, 0, 0);
    EXPECT_EQ(g_speech.selected, 1);
    EXPECT_EQ(g_speech.volume, 80);
    EXPECT_EQ(g_speech.said, "Текущая температура 0 °C");

    SendMessageW(GetDlgItem(g_window, kWizardCheck), BM_SETCHECK, BST_CHECKED, 0);
    g_speech.said.clear();
    SendMessageW(say, BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindowEnabled(say)) << "disabled by the press itself";
    EXPECT_TRUE(PumpUntil([say] { return IsWindowEnabled(say) != FALSE; }));
    EXPECT_EQ(g_speech.agentRuns, 1);
    EXPECT_TRUE(g_speech.controlsDisabledDuringAgent);
    EXPECT_EQ(g_speech.said, "");
}

TEST(AmbrelWin32Start, WithoutSpeechEngineReportsAndShowsNoWindow)
{
    g_speech = SpeechRecord{};
    g_speech.engines = 0;
    EXPECT_EQ(StartAmbrel(GetModuleHandleW(nullptr), Services()), nullptr);
    EXPECT_EQ(g_speech.boxCaption, L"Ошибка!");
    EXPECT_EQ(g_speech.boxText, L"Голосовой движок не доступен!.");
    EXPECT_EQ(FindWindowW(L"AmbrelWindow", L"Ambrel"), nullptr);
}

}  // namespace
