#include "ambrel_win32.h"

#include "hid_access.h"
#include "presence_check.h"
#include "thermometer_reader.h"
#include "thermometer_reading.h"

#include <commctrl.h>

#include <cstring>
#include <memory>
#include <string>
#include <thread>

namespace {

constexpr UINT kPresenceIntervalMs = 400;
constexpr int kClientSize = 170;
constexpr COLORREF kTemperatureColour = RGB(0, 0, 223);
// Posted by the reader thread (wParam handle, lParam the reading's bits) and
// by the agent's thread when it is done.
constexpr UINT kReadingMessage = WM_APP + 1;
constexpr UINT kAgentDoneMessage = WM_APP + 2;
const wchar_t kWindowClass[] = L"AmbrelWindow";
const wchar_t kNoDevice[] = L"Нет связи с термометром";
const wchar_t kDeviceOpen[] = L"Термометр подключён";

struct AmbrelProgram {
    AmbrelWin32Services services;
    ThermometerState state;
    std::unique_ptr<ThermometerReader> reader;
    HFONT temperatureFont = nullptr;
    HWND window = nullptr;
    UINT_PTR presenceTimer = 0;
};

AmbrelProgram g_ambrel;

std::wstring Widen(const std::string& utf8)
{
    int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), units);
    return wide;
}

HWND Control(int id)
{
    return GetDlgItem(g_ambrel.window, id);
}

HWND Place(const wchar_t* kind, const wchar_t* text, DWORD style, int id, int x, int y, int w, int h,
           DWORD exStyle = 0)
{
    HWND control = CreateWindowExW(exStyle, kind, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, g_ambrel.window,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return control;
}

HFONT CreateTemperatureFont()
{
    HDC screen = GetDC(nullptr);
    int height = -MulDiv(22, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    return CreateFontW(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Arial");
}

void CreateStatusControls()
{
    Place(L"STATIC", kNoDevice, SS_CENTER, kStatusLabel, 4, 4, 162, 16);
    HWND box = Place(L"EDIT", L"OFF", ES_READONLY | ES_CENTER | ES_AUTOHSCROLL, kTemperatureBox, 16, 24, 140, 40,
                     WS_EX_CLIENTEDGE);
    SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(g_ambrel.temperatureFont), FALSE);
    Place(L"STATIC", L"Голосовой движок", SS_LEFT, kVoiceLabel, 4, 70, 110, 16);
    Place(L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, kVoiceList, 4, 88, 110, 22);
}

void FillVoiceList()
{
    HWND list = Control(kVoiceList);
    const SpeechApi& speech = g_ambrel.services.speech;
    std::int32_t last = speech.lastVoiceIndex ? speech.lastVoiceIndex() : -1;
    for (std::int32_t i = 0; i <= last; ++i)
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(speech.voiceName(i)).c_str()));
    SendMessageW(list, CB_SETCURSEL, 0, 0);
    // Exact match, letter case ignored.
    LRESULT svetlana = SendMessageW(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                    reinterpret_cast<LPARAM>(L"Svetlana"));
    if (svetlana != CB_ERR)
        SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(svetlana), 0);
}

void CreateSpeechControls()
{
    Place(L"STATIC", L"Громкость", SS_LEFT, kVolumeLabel, 110, 70, 70, 16);
    // A vertical track bar has its minimum at the top; the position is kept
    // upside down so that the top end means 100.
    HWND slider = Place(TRACKBAR_CLASSW, L"", TBS_VERT | TBS_AUTOTICKS | WS_TABSTOP, kVolumeSlider, 140, 90, 24, 80);
    SendMessageW(slider, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
    SendMessageW(slider, TBM_SETTICFREQ, 10, 0);
    SendMessageW(slider, TBM_SETPOS, TRUE, 100 - 80);
    Place(L"BUTTON", L"Волшебник", BS_AUTOCHECKBOX | WS_TABSTOP, kWizardCheck, 4, 114, 110, 16);
    Place(L"BUTTON", L"Сказать", BS_PUSHBUTTON | WS_TABSTOP, kSayButton, 16, 134, 100, 28);
}

void SetSpeechControlsEnabled(bool enabled)
{
    for (int id : {kVoiceList, kVolumeSlider, kWizardCheck, kSayButton})
        EnableWindow(Control(id), enabled);
}

void AgentThread()
{
    g_ambrel.services.runAgent(&g_ambrel.state.TemperatureWhole);
    PostMessageW(g_ambrel.window, kAgentDoneMessage, 0, 0);
}

void Say()
{
    if (IsDlgButtonChecked(g_ambrel.window, kWizardCheck) == BST_CHECKED) {
        if (!g_ambrel.services.runAgent)
            return;
        // Disabled here, before the thread starts, so that no second press
        // can slip in.
        SetSpeechControlsEnabled(false);
        std::thread(AgentThread).detach();
        return;
    }
    const SpeechApi& speech = g_ambrel.services.speech;
    speech.selectVoice(static_cast<std::int32_t>(SendMessageW(Control(kVoiceList), CB_GETCURSEL, 0, 0)));
    speech.setVolume(AmbrelVolume());
    speech.say(SpokenTemperatureText(g_ambrel.state.TemperatureWhole.load()).c_str());
}

void ShowReading(std::int32_t handle, float t)
{
    // Queued from the reader: drop a reading from a device closed since.
    if (ReadingIsCurrent(g_ambrel.state, handle))
        SetWindowTextW(Control(kTemperatureBox), Widen(FormatTemperature(t)).c_str());
}

void DeliverReading(std::int32_t handle, float t)
{
    LPARAM bits = 0;
    std::memcpy(&bits, &t, sizeof t);
    PostMessageW(g_ambrel.window, kReadingMessage, static_cast<WPARAM>(handle), bits);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == kSayButton && HIWORD(wParam) == BN_CLICKED)
            Say();
        return 0;
    case WM_CTLCOLORSTATIC:
        // A read-only edit asks for its colours as a static control does.
        if (reinterpret_cast<HWND>(lParam) == GetDlgItem(window, kTemperatureBox)) {
            LRESULT brush = DefWindowProcW(window, message, wParam, lParam);
            SetTextColor(reinterpret_cast<HDC>(wParam), kTemperatureColour);
            return brush;
        }
        break;
    case kReadingMessage: {
        float t;
        std::memcpy(&t, &lParam, sizeof t);
        ShowReading(static_cast<std::int32_t>(wParam), t);
        return 0;
    }
    case kAgentDoneMessage:
        SetSpeechControlsEnabled(true);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void CALLBACK PresenceTimer(HWND, UINT, UINT_PTR, DWORD)
{
    AmbrelPresenceCheck();
}

HWND CreateMainWindow(HINSTANCE instance)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExW(&windowClass);

    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame{0, 0, kClientSize, kClientSize};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    int width = std::min<int>(frame.right - frame.left, screenWidth);
    int height = std::min<int>(frame.bottom - frame.top, screenHeight);
    return CreateWindowExW(0, kWindowClass, L"Ambrel", style, (screenWidth - width) / 2, (screenHeight - height) / 2,
                           width, height, nullptr, nullptr, instance, nullptr);
}

void ReportNoSpeech()
{
    const wchar_t caption[] = L"Ошибка!";
    const wchar_t text[] = L"Голосовой движок не доступен!.";
    if (g_ambrel.services.showNoSpeechBox)
        g_ambrel.services.showNoSpeechBox(caption, text);
    else
        MessageBoxW(nullptr, text, caption, MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

HWND StartAmbrel(HINSTANCE instance, const AmbrelWin32Services& services)
{
    g_ambrel.services = services;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    HidLoad();
    g_ambrel.temperatureFont = CreateTemperatureFont();
    g_ambrel.window = CreateMainWindow(instance);
    if (!g_ambrel.window)
        return nullptr;
    SetWindowPos(g_ambrel.window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    CreateStatusControls();
    if (!services.speech.init || services.speech.init() == 0) {
        ReportNoSpeech();
        ShutdownAmbrel();
        return nullptr;
    }
    FillVoiceList();
    CreateSpeechControls();
    AmbrelPresenceCheck();
    ShowWindow(g_ambrel.window, SW_SHOWNORMAL);
    g_ambrel.presenceTimer = SetTimer(nullptr, 0, kPresenceIntervalMs, PresenceTimer);
    g_ambrel.reader = std::make_unique<ThermometerReader>(g_ambrel.state, DeliverReading);
    g_ambrel.reader->Start();
    return g_ambrel.window;
}

int RunAmbrel()
{
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(g_ambrel.window, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    ShutdownAmbrel();
    return 0;
}

void ShutdownAmbrel()
{
    if (g_ambrel.presenceTimer)
        KillTimer(nullptr, g_ambrel.presenceTimer);
    g_ambrel.presenceTimer = 0;
    // Closing the handle releases a read blocked in it, so the reader can end.
    CloseThermometer(g_ambrel.state);
    g_ambrel.reader.reset();
    if (g_ambrel.window && IsWindow(g_ambrel.window))
        DestroyWindow(g_ambrel.window);
    g_ambrel.window = nullptr;
    if (g_ambrel.temperatureFont)
        DeleteObject(g_ambrel.temperatureFont);
    g_ambrel.temperatureFont = nullptr;
    g_ambrel.state.LastPresence = 0;
    g_ambrel.state.TemperatureWhole.store(0);
    g_ambrel.state.FailedHandle.store(0);
}

void AmbrelPresenceCheck()
{
    switch (CheckPresence(g_ambrel.state)) {
    case PresenceChange::Appeared:
        SetWindowTextW(Control(kStatusLabel), kDeviceOpen);
        break;
    case PresenceChange::Gone:
        SetWindowTextW(Control(kStatusLabel), kNoDevice);
        SetWindowTextW(Control(kTemperatureBox), L"OFF");
        break;
    case PresenceChange::None:
        break;
    }
}

ThermometerState& AmbrelState()
{
    return g_ambrel.state;
}

int AmbrelVolume()
{
    return 100 - static_cast<int>(SendMessageW(Control(kVolumeSlider), TBM_GETPOS, 0, 0));
}
