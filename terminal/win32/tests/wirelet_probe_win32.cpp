// The test build of Wirelet for Windows: the program itself, with a probe
// that reports what its windows show and drives them as a user would.
//
//   Wirelet_probe.exe REPORT open     COM1 as stored by default: layout,
//                                     screenshots, typing and sending, then
//                                     every tick until REPORT.stop appears
//   Wirelet_probe.exe REPORT absent   settings naming COM2: the error state
//
// REPORT receives one line per fact, UTF-8; screenshots are written beside
// it as main.bmp and dialog.bmp.
#include "controls_win32.h"
#include "port_api.h"
#include "settings_file.h"
#include "terminal_layout.h"
#include "terminal_window_win32.h"
#include "wide_text.h"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

std::string g_report;
std::ofstream g_out;

void Line(const std::string& text)
{
    g_out << text << "\n";
    g_out.flush();
}

std::string Directory(const std::string& path)
{
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// The screen under the window, as a 24-bit BMP file.
void Screenshot(HWND window, const std::string& path)
{
    RECT r;
    GetWindowRect(window, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const DWORD stride = static_cast<DWORD>((width * 3 + 3) & ~3);
    const DWORD size = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) + size, 0, 0,
                          sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
    out.write(static_cast<const char*>(bits), size);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    Line("screenshot " + path);
}

void ReportControls(const char* name, HWND window, int idBase, int count)
{
    RECT client;
    GetClientRect(window, &client);
    Line(std::string(name) + " client " + std::to_string(client.right) + " " + std::to_string(client.bottom));
    for (int i = 0; i < count; ++i) {
        HWND control = GetDlgItem(window, idBase + i);
        RECT r{};
        GetWindowRect(control, &r);
        POINT topLeft{r.left, r.top};
        ScreenToClient(window, &topLeft);
        Line(std::string(name) + " control " + std::to_string(i) + " " + std::to_string(topLeft.x) + " " +
             std::to_string(topLeft.y) + " " + std::to_string(r.right - r.left) + " " +
             std::to_string(r.bottom - r.top) + " " + (IsWindowEnabled(control) ? "enabled" : "disabled") + " |" +
             WindowTextUtf8(control) + "|");
    }
}

HWND MainControlWindow(HWND main, MainControl id) { return GetDlgItem(main, kMainControlIdBase + id); }
HWND DialogControlWindow(HWND dialog, DialogControl id) { return GetDlgItem(dialog, kDialogControlIdBase + id); }

void ReportFont(HWND label)
{
    LOGFONTW lf{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)), sizeof lf, &lf);
    Line("section font |" + Utf16ToUtf8(lf.lfFaceName) + "| " + std::to_string(lf.lfHeight) + " " +
         std::to_string(lf.lfWeight));
}

void SetClipboard(HWND owner, const wchar_t* text)
{
    if (!OpenClipboard(owner))
        return;
    EmptyClipboard();
    const std::size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    memcpy(GlobalLock(memory), text, bytes);
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
}

void Type(HWND field, const char* keys)
{
    for (const char* k = keys; *k; ++k)
        SendMessageW(field, WM_CHAR, static_cast<WPARAM>(*k), 1);
}

std::string Hex(COLORREF c)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}

class Probe : public WireletProbe {
public:
    explicit Probe(bool portAbsent) : portAbsent_(portAbsent) {}

    void Started(HWND main) override
    {
        wchar_t title[128] = {};
        GetWindowTextW(main, title, 128);
        Line("title |" + Utf16ToUtf8(title) + "|");
        Line("beeps " + std::to_string(beeps_));
    }

    void Beeped() override { ++beeps_; }

    void Ticked(HWND main) override
    {
        ++tick_;
        if (portAbsent_) {
            if (tick_ == 4) {
                ReportControls("main", main, kMainControlIdBase, MainControlCount);
                Screenshot(main, Directory(g_report) + "main-absent.bmp");
                // "Передать" is disabled; a click on it reaches the window
                // all the same, as a keyboard accelerator's would.
                SendMessageW(main, WM_COMMAND, MAKEWPARAM(kMainControlIdBase + MainSendButton, BN_CLICKED),
                             reinterpret_cast<LPARAM>(MainControlWindow(main, MainSendButton)));
                Line("box closed");
                PostMessageW(main, WM_CLOSE, 0, 0);
            } else if (tick_ == 8) {
                // Runs inside the message box's own loop.
                HWND box = FindWindowW(L"#32770", nullptr);
                Line("box |" + (box ? WindowTextUtf8(box) : std::string("none")) + "| |" +
                     (box ? WindowTextUtf8(GetDlgItem(box, 0xFFFF)) : std::string()) + "| main " +
                     (IsWindowEnabled(main) ? "enabled" : "disabled"));
                if (box)
                    PostMessageW(box, WM_COMMAND, IDOK, 0);
            }
            return;
        }
        switch (tick_) {
        case 4:
            ReportControls("main", main, kMainControlIdBase, MainControlCount);
            ReportFont(MainControlWindow(main, MainReceiveLabel));
            Screenshot(main, Directory(g_report) + "main.bmp");
            SetForegroundWindow(main);
            SetFocus(MainControlWindow(main, MainSendField));
            break;
        case 5: case 6: case 7: case 8: case 9: case 10: case 11: case 12: case 13: case 14: case 15: {
            // One Tab key per tick; the loop's IsDialogMessage moves the focus.
            HWND focus = GetFocus();
            Line("focus " + std::to_string(focus ? GetDlgCtrlID(focus) - kMainControlIdBase : -1));
            if (tick_ < 15)
                PostMessageW(focus ? focus : main, WM_KEYDOWN, VK_TAB, 0);
            else
                SendMessageW(MainControlWindow(main, MainSettingsButton), BM_CLICK, 0, 0);
            break;
        }
        case 19: {
            HWND dialog = WireletSettingsDialog();
            Line(std::string("dialog ") + (dialog && IsWindowVisible(dialog) ? "shown" : "missing"));
            if (!dialog)
                break;
            Line("dialog title |" + WindowTextUtf8(dialog) + "|");
            ReportControls("dialog", dialog, kDialogControlIdBase, DialogControlCount);
            Screenshot(dialog, Directory(g_report) + "dialog.bmp");
            SendMessageW(MainControlWindow(main, MainSettingsButton), BM_CLICK, 0, 0);
            Line(std::string("second press ") + (WireletSettingsDialog() == dialog ? "same dialog" : "other dialog"));
            SendMessageW(DialogControlWindow(dialog, DialogPortList), CB_SETCURSEL, 4, 0);
            SendMessageW(DialogControlWindow(dialog, DialogCancelButton), BM_CLICK, 0, 0);
            Line(std::string("after cancel ") + (WireletSettingsDialog() ? "open" : "closed"));
            SendMessageW(MainControlWindow(main, MainSettingsButton), BM_CLICK, 0, 0);
            break;
        }
        case 21: {
            // Xon / Xoff chosen as a user does it, then applied.
            HWND dialog = WireletSettingsDialog();
            if (!dialog)
                break;
            Line("reopened dialog |" + WindowTextUtf8(DialogControlWindow(dialog, DialogPortList)) + "|");
            HWND flow = DialogControlWindow(dialog, DialogFlowList);
            SendMessageW(flow, CB_SETCURSEL, 0, 0);
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kDialogControlIdBase + DialogFlowList, CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(flow));
            Line(std::string("xon field ") +
                 (IsWindowEnabled(DialogControlWindow(dialog, DialogXonField)) ? "enabled" : "disabled"));
            SendMessageW(DialogControlWindow(dialog, DialogOkButton), BM_CLICK, 0, 0);
            Line(std::string("after ok ") + (WireletSettingsDialog() ? "open" : "closed") + " |" +
                 WindowTextUtf8(main) + "| |" + WindowTextUtf8(MainControlWindow(main, MainFlowValue)) + "|");
            break;
        }
        case 22: {
            HWND field = MainControlWindow(main, MainSendField);
            Type(field, "3x004");
            Line("typed |" + WindowTextUtf8(field) + "|");
            SendMessageW(field, EM_SETSEL, 0, -1);
            SetClipboard(main, L"7a");
            SendMessageW(field, WM_CHAR, 0x16, 1);  // Ctrl+V
            Line("pasted letters |" + WindowTextUtf8(field) + "|");
            SendMessageW(field, EM_SETSEL, 3, 3);
            SetClipboard(main, L"5");
            SendMessageW(field, WM_PASTE, 0, 0);
            Line("pasted past the limit |" + WindowTextUtf8(field) + "|");
            SendMessageW(field, EM_SETSEL, 0, -1);
            SetClipboard(main, L"45");
            SendMessageW(field, WM_PASTE, 0, 0);
            Line("pasted digits |" + WindowTextUtf8(field) + "|");
            SetWindowTextW(field, L"");
            Type(field, "300");
            SendMessageW(MainControlWindow(main, MainSendButton), BM_CLICK, 0, 0);
            Line("sent |" + WindowTextUtf8(field) + "|");
            Line("ready");
            break;
        }
        default:
            if (tick_ > 22) {
                HDC dc = GetDC(main);
                const COLORREF lamp = GetPixel(dc, 220, 247);
                ReleaseDC(main, dc);
                Line("tick " + std::to_string(tick_) + " |" +
                     WindowTextUtf8(MainControlWindow(main, MainReceivedField)) + "| " + Hex(lamp));
                if (GetFileAttributesA((g_report + ".stop").c_str()) != INVALID_FILE_ATTRIBUTES || tick_ > 600)
                    PostMessageW(main, WM_CLOSE, 0, 0);
            }
            break;
        }
    }

private:
    bool portAbsent_;
    int tick_ = 0;
    int beeps_ = 0;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    g_report = argv[1];
    g_out.open(g_report, std::ios::trunc);
    const bool absent = std::string(argv[2]) == "absent";
    const std::string settingsPath = SettingsFilePath();
    Line("settings " + settingsPath);
    PortSettings stored = DefaultPortSettings();
    stored.portIndex = absent ? 1 : 0;
    SaveSettings(settingsPath, stored);
    Probe probe(absent);
    const int code = RunWirelet(GetModuleHandleW(nullptr), SystemSerialPortApi(), settingsPath, &probe);
    Line("ended " + std::to_string(code));
    return 0;
}
