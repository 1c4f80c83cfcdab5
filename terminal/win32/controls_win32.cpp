#include "controls_win32.h"

#include "wide_text.h"

#include <commctrl.h>

#include <string>

namespace {

bool IsDigits(std::wstring_view text)
{
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
    }
    return !text.empty();
}

std::wstring ClipboardText(HWND owner)
{
    std::wstring text;
    if (!IsClipboardFormatAvailable(CF_UNICODETEXT) || !OpenClipboard(owner))
        return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

// ES_NUMBER and the length limit hold for typed keys only; pasted text is
// taken whole when it is all digits and fits, and refused otherwise.
LRESULT CALLBACK DigitFieldProc(HWND field, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR limit)
{
    if (message == WM_PASTE) {
        const std::wstring pasted = ClipboardText(field);
        DWORD start = 0, end = 0;
        SendMessageW(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        const std::size_t kept = static_cast<std::size_t>(GetWindowTextLengthW(field)) - (end - start);
        if (IsDigits(pasted) && kept + pasted.size() <= limit)
            SendMessageW(field, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(pasted.c_str()));
        else
            MessageBeep(MB_OK);
        return 0;
    }
    // Not every edit control version refuses non-digits under ES_NUMBER.
    if (message == WM_CHAR && wParam >= 0x20 && (wParam < L'0' || wParam > L'9')) {
        MessageBeep(MB_OK);
        return 0;
    }
    if (message == WM_NCDESTROY)
        RemoveWindowSubclass(field, DigitFieldProc, 1);
    return DefSubclassProc(field, message, wParam, lParam);
}

struct ClassAndStyle {
    const wchar_t* windowClass;
    DWORD style;
    DWORD exStyle;
};

ClassAndStyle ClassFor(ControlKind kind)
{
    switch (kind) {
    case ControlKind::Label:
    case ControlKind::SectionLabel:
        return {WC_STATICW, SS_LEFT | SS_NOPREFIX, 0};
    case ControlKind::GroupBox:
        return {WC_BUTTONW, BS_GROUPBOX, 0};
    case ControlKind::PushButton:
        return {WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP, 0};
    case ControlKind::WrappingButton:
        return {WC_BUTTONW, BS_PUSHBUTTON | BS_MULTILINE | WS_TABSTOP, 0};
    case ControlKind::CheckBox:
        return {WC_BUTTONW, BS_AUTOCHECKBOX | WS_TABSTOP, 0};
    case ControlKind::ReadOnlyField:
        return {WC_EDITW, ES_LEFT | ES_AUTOHSCROLL | ES_READONLY | WS_TABSTOP, WS_EX_CLIENTEDGE};
    case ControlKind::DigitField:
        return {WC_EDITW, ES_LEFT | ES_AUTOHSCROLL | ES_NUMBER | WS_TABSTOP, WS_EX_CLIENTEDGE};
    case ControlKind::DropDownList:
        return {WC_COMBOBOXW, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0};
    }
    return {WC_STATICW, 0, 0};
}

}  // namespace

bool CreateTableControls(HWND parent, const ControlSpec* table, int count, int idBase, HFONT font,
                         HFONT sectionFont, HWND* handles)
{
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE));
    for (int i = 0; i < count; ++i) {
        const ControlSpec& c = table[i];
        const ClassAndStyle cs = ClassFor(c.kind);
        HWND control = CreateWindowExW(cs.exStyle, cs.windowClass, Wide(c.text).c_str(), WS_CHILD | WS_VISIBLE | cs.style,
                                       c.x, c.y, c.width, c.height, parent,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(idBase + i)), instance, nullptr);
        if (!control)
            return false;
        handles[i] = control;
        SendMessageW(control, WM_SETFONT,
                     reinterpret_cast<WPARAM>(c.kind == ControlKind::SectionLabel ? sectionFont : font), FALSE);
        if (c.kind == ControlKind::DigitField) {
            SendMessageW(control, EM_SETLIMITTEXT, kTypedDigits, 0);
            SetWindowSubclass(control, DigitFieldProc, 1, kTypedDigits);
        }
        if (c.kind == ControlKind::DropDownList) {
            for (std::string_view item : c.items)
                SendMessageW(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
        }
    }
    // Frames behind the controls they surround; they take no part in Tab.
    for (int i = 0; i < count; ++i) {
        if (table[i].kind == ControlKind::GroupBox)
            SetWindowPos(handles[i], HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    return true;
}

RECT CentredWindowRect(int clientWidth, int clientHeight, DWORD style, DWORD exStyle)
{
    RECT frame{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + (work.right - work.left - width) / 2;
    const int y = work.top + (work.bottom - work.top - height) / 2;
    return {x, y, x + width, y + height};
}
