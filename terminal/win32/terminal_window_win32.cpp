#include "terminal_window_win32.h"

#include "controls_win32.h"
#include "settings_dialog_win32.h"
#include "terminal_layout.h"
#include "terminal_logic.h"
#include "wide_text.h"

#include <memory>

namespace {

constexpr wchar_t kMainClass[] = L"WireletMainWindow";

// The terminal's program-wide state: one main window, at most one dialog.
struct Terminal {
    explicit Terminal(const SerialPortApi& api) : state(api) {}

    TerminalState state;
    WireletProbe* probe = nullptr;
    HWND main = nullptr;
    HWND dialog = nullptr;
    HWND controls[MainControlCount] = {};
    HFONT font = nullptr;
    HFONT sectionFont = nullptr;
    Rgb lamp = kLampIdle;
    COLORREF portValueColour = RGB(0, 0, 0);
    HWND focusBeforeDeactivation = nullptr;
};

Terminal* g_terminal = nullptr;

COLORREF ToColorRef(Rgb c) { return RGB(c.r, c.g, c.b); }

bool IsTicked(HWND box) { return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// "Taboha", 10 points bold; where the face is missing, GDI's font mapper
// picks a similar sans serif.
HFONT CreateSectionFont()
{
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ReleaseDC(nullptr, screen);
    LOGFONTW lf{};
    lf.lfHeight = -MulDiv(kSectionFontPoints, dpi, 72);
    lf.lfWeight = kSectionFontWeight;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    const std::wstring face = Wide(kSectionFontFace);
    lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
    return CreateFontIndirectW(&lf);
}

// The lamp is drawn straight onto the client area, not kept by the window.
void DrawLamp(Terminal& t, Rgb colour)
{
    t.lamp = colour;
    HDC dc = GetDC(t.main);
    if (!dc)
        return;
    HBRUSH brush = CreateSolidBrush(ToColorRef(colour));
    HPEN pen = CreatePen(PS_SOLID, 1, ToColorRef(colour));
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    Ellipse(dc, kLampCentreX - kLampRadius, kLampCentreY - kLampRadius, kLampCentreX + kLampRadius + 1,
            kLampCentreY + kLampRadius + 1);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
    ReleaseDC(t.main, dc);
}

void Beep(Terminal& t)
{
    MessageBeep(0);
    if (t.probe)
        t.probe->Beeped();
}

void ShowPortStatus(Terminal& t)
{
    const PortStatus status = PortStatusOf(t.state);
    SetWindowTextUtf8(t.main, status.title);
    t.portValueColour = ToColorRef(status.portValueColour);
    InvalidateRect(t.controls[MainPortValue], nullptr, TRUE);
    for (MainControl id : kOpenPortControls)
        EnableWindow(t.controls[id], status.open ? TRUE : FALSE);
    if (!status.open)
        Beep(t);
}

void OpenSettingsDialog(Terminal& t)
{
    t.dialog = CreateSettingsDialog(t.main, t.state.settings, t.font);
    if (t.dialog && !t.state.startupPass)
        ShowWindow(t.dialog, SW_SHOW);
}

void CloseSettingsDialog(Terminal& t)
{
    if (!t.dialog)
        return;
    HWND dialog = t.dialog;
    t.dialog = nullptr;
    DestroyWindow(dialog);
}

void ApplySettings(Terminal& t)
{
    if (!t.dialog)
        return;  // the choices come from the dialog
    ::ApplySettings(t.state, DialogChoices(t.dialog), IsTicked(t.controls[MainRtsBox]), IsTicked(t.controls[MainDtrBox]));
    ShowPortStatus(t);
    for (MainControl id : {MainCtsIndicator, MainDsrIndicator, MainDcdIndicator, MainRiIndicator})
        SetWindowTextW(t.controls[id], L"0");
    const std::array<std::string, 6> texts = SettingsDisplayTexts(t.state.settings);
    for (int i = 0; i < 6; ++i)
        SetWindowTextUtf8(t.controls[kSettingsValueLabels[i]], texts[i]);
}

void Tick(Terminal& t)
{
    const TickView view = MonitorTick(t.state);
    if (view.field == FieldEmptied)
        SetWindowTextW(t.controls[MainReceivedField], L"");
    else if (view.field == FieldShowsByte)
        SetWindowTextUtf8(t.controls[MainReceivedField], view.fieldText);
    if (view.linesRead) {
        const MainControl order[4] = {MainCtsIndicator, MainDsrIndicator, MainDcdIndicator, MainRiIndicator};
        for (int i = 0; i < 4; ++i)
            SetWindowTextUtf8(t.controls[order[i]], view.indicators[i]);
    }
    DrawLamp(t, view.lamp);
}

void SendTypedByte(Terminal& t)
{
    if (SendByte(t.state, WindowTextUtf8(t.controls[MainSendField])))
        return;
    // Modal to both terminal windows.
    if (t.dialog)
        EnableWindow(t.dialog, FALSE);
    MessageBoxW(t.main, Wide(kNoPortText).c_str(), Wide(kNoPortCaption).c_str(), MB_OK | MB_ICONERROR);
    if (t.dialog)
        EnableWindow(t.dialog, TRUE);
}

void OnCommand(Terminal& t, int id, int code, HWND control)
{
    if (code != BN_CLICKED)
        return;
    switch (id - kMainControlIdBase) {
    case MainSettingsButton:
        if (!t.dialog)
            OpenSettingsDialog(t);
        break;
    case MainSendButton:
        SendTypedByte(t);
        break;
    case MainRtsBox:
        t.state.connection.SetRts(IsTicked(control));
        break;
    case MainDtrBox:
        t.state.connection.SetDtr(IsTicked(control));
        break;
    default:
        break;
    }
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Terminal* t = g_terminal;
    if (!t || !t->main)
        return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
    case WM_COMMAND:
        OnCommand(*t, LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_TIMER:
        if (wParam == kMonitorTimerId) {
            Tick(*t);
            if (t->probe)
                t->probe->Ticked(window);
        }
        return 0;
    case kSettingsOkMessage:
        ApplySettings(*t);
        CloseSettingsDialog(*t);
        return 0;
    case kSettingsDismissedMessage:
        CloseSettingsDialog(*t);
        return 0;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == t->controls[MainPortValue]) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, t->portValueColour);
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        break;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        EndPaint(window, &ps);
        DrawLamp(*t, t->lamp);  // until the next tick draws it again
        return 0;
    }
    case WM_ACTIVATE:
        // Windows keeps no focus for a window that is not a dialog box.
        if (LOWORD(wParam) == WA_INACTIVE)
            t->focusBeforeDeactivation = GetFocus();
        else if (t->focusBeforeDeactivation && IsChild(window, t->focusBeforeDeactivation))
            SetFocus(t->focusBeforeDeactivation);
        return 0;
    case WM_CLOSE:
        // Whatever the open dialog holds is dropped, not applied.
        KillTimer(window, kMonitorTimerId);
        CloseSettingsDialog(*t);
        CloseTerminal(t->state);
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool CreateMainWindow(Terminal& t, HINSTANCE instance)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = MainProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kMainClass;
    if (!RegisterClassExW(&wc))
        return false;
    const RECT frame = CentredWindowRect(kMainClientWidth, kMainClientHeight, kFixedWindowStyle, 0);
    t.main = CreateWindowExW(0, kMainClass, Wide(kMainFirstTitle).c_str(), kFixedWindowStyle, frame.left, frame.top,
                             frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    return t.main &&
           CreateTableControls(t.main, kMainControls, MainControlCount, kMainControlIdBase, t.font, t.sectionFont,
                               t.controls);
}

}  // namespace

int RunWirelet(HINSTANCE instance, const SerialPortApi& api, const std::string& settingsPath, WireletProbe* probe)
{
    auto terminal = std::make_unique<Terminal>(api);
    Terminal& t = *terminal;
    t.probe = probe;
    g_terminal = &t;
    t.sectionFont = CreateSectionFont();
    t.font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    LoadTerminalSettings(t.state, settingsPath);
    if (!CreateMainWindow(t, instance)) {
        if (t.main)
            DestroyWindow(t.main);
        g_terminal = nullptr;
        return 0;
    }

    t.state.startupPass = true;
    OpenSettingsDialog(t);
    ApplySettings(t);
    CloseSettingsDialog(t);
    t.state.startupPass = false;

    ShowWindow(t.main, SW_SHOW);
    UpdateWindow(t.main);
    SetFocus(t.controls[MainSendField]);
    DrawLamp(t, kLampIdle);
    SetTimer(t.main, kMonitorTimerId, kMonitorPeriodMs, nullptr);
    if (probe)
        probe->Started(t.main);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Tab and Shift+Tab walk the controls of either window.
        if (t.dialog && IsDialogMessageW(t.dialog, &message))
            continue;
        if (t.main && IsWindow(t.main) && IsDialogMessageW(t.main, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    DeleteObject(t.sectionFont);
    g_terminal = nullptr;
    return 0;
}

HWND WireletSettingsDialog() { return g_terminal ? g_terminal->dialog : nullptr; }
