#include "settings_dialog_win32.h"

#include "controls_win32.h"
#include "terminal_layout.h"
#include "terminal_logic.h"
#include "wide_text.h"

namespace {

constexpr wchar_t kDialogClass[] = L"WireletSettingsDialog";

HWND Control(HWND dialog, DialogControl id) { return GetDlgItem(dialog, kDialogControlIdBase + id); }

int32_t Chosen(HWND dialog, DialogControl id)
{
    const LRESULT position = SendMessageW(Control(dialog, id), CB_GETCURSEL, 0, 0);
    return position == CB_ERR ? -1 : static_cast<int32_t>(position);
}

void UpdateXonXoffGroup(HWND dialog)
{
    const BOOL on = XonXoffGroupEnabled(Chosen(dialog, DialogFlowList)) ? TRUE : FALSE;
    for (DialogControl id : kXonXoffGroup)
        EnableWindow(Control(dialog, id), on);
}

LRESULT CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam) - kDialogControlIdBase;
        if (id == DialogFlowList)
            UpdateXonXoffGroup(dialog);
        else if (id == DialogOkButton && HIWORD(wParam) == BN_CLICKED)
            SendMessageW(GetWindow(dialog, GW_OWNER), kSettingsOkMessage, 0, 0);
        else if (id == DialogCancelButton && HIWORD(wParam) == BN_CLICKED)
            SendMessageW(GetWindow(dialog, GW_OWNER), kSettingsDismissedMessage, 0, 0);
        return 0;
    }
    case WM_CLOSE:
        SendMessageW(GetWindow(dialog, GW_OWNER), kSettingsDismissedMessage, 0, 0);
        return 0;
    default:
        return DefWindowProcW(dialog, message, wParam, lParam);
    }
}

bool RegisterDialogClass(HINSTANCE instance)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExW(instance, kDialogClass, &wc))
        return true;
    wc.lpfnWndProc = DialogProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kDialogClass;
    return RegisterClassExW(&wc) != 0;
}

}  // namespace

HWND CreateSettingsDialog(HWND owner, const PortSettings& settings, HFONT font)
{
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE));
    if (!RegisterDialogClass(instance))
        return nullptr;
    const RECT frame = CentredWindowRect(kDialogClientWidth, kDialogClientHeight, kFixedWindowStyle, 0);
    HWND dialog = CreateWindowExW(0, kDialogClass, Wide(kDialogTitle).c_str(), kFixedWindowStyle, frame.left, frame.top,
                                  frame.right - frame.left, frame.bottom - frame.top, owner, nullptr, instance, nullptr);
    if (!dialog)
        return nullptr;
    HWND controls[DialogControlCount] = {};
    if (!CreateTableControls(dialog, kDialogControls, DialogControlCount, kDialogControlIdBase, font, font, controls)) {
        DestroyWindow(dialog);
        return nullptr;
    }
    const SettingsChoices shown = ChoicesFromSettings(settings);
    const std::pair<DialogControl, int32_t> lists[] = {
        {DialogPortList, shown.portIndex},         {DialogSpeedList, shown.baudIndex},
        {DialogDataBitsList, shown.dataBitsIndex}, {DialogParityList, shown.parityIndex},
        {DialogStopBitsList, shown.stopBitsIndex}, {DialogFlowList, shown.flowControlIndex}};
    for (const auto& [id, position] : lists)
        SendMessageW(controls[id], CB_SETCURSEL, static_cast<WPARAM>(position), 0);
    SetWindowTextUtf8(controls[DialogXonField], shown.xonText);
    SetWindowTextUtf8(controls[DialogXoffField], shown.xoffText);
    UpdateXonXoffGroup(dialog);
    return dialog;
}

SettingsChoices DialogChoices(HWND dialog)
{
    SettingsChoices c;
    c.portIndex = Chosen(dialog, DialogPortList);
    c.baudIndex = Chosen(dialog, DialogSpeedList);
    c.dataBitsIndex = Chosen(dialog, DialogDataBitsList);
    c.parityIndex = Chosen(dialog, DialogParityList);
    c.stopBitsIndex = Chosen(dialog, DialogStopBitsList);
    c.flowControlIndex = Chosen(dialog, DialogFlowList);
    c.xonText = WindowTextUtf8(Control(dialog, DialogXonField));
    c.xoffText = WindowTextUtf8(Control(dialog, DialogXoffField));
    return c;
}
