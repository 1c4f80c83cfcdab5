// Standard Windows controls made from the terminal's control tables.
#pragma once

#include "terminal_layout.h"

#include <windows.h>

// Control ids: the table position plus a base, one base per window.
inline constexpr int kMainControlIdBase = 100;
inline constexpr int kDialogControlIdBase = 200;

// Creates every control of the table as a child of parent, in table order
// (which makes it the Tab order), sets font on all of them and sectionFont
// on the section labels, and sends the group boxes to the back. handles
// receives one window per table entry. False when a control could not be
// created.
bool CreateTableControls(HWND parent, const ControlSpec* table, int count, int idBase, HFONT font,
                         HFONT sectionFont, HWND* handles);

// Client-area rectangle of a window whose client size is width x height,
// with the fixed frame both terminal windows have, centred in the work area.
RECT CentredWindowRect(int clientWidth, int clientHeight, DWORD style, DWORD exStyle);

// The frame of both windows: caption, system menu, minimise box, fixed size.
// No WS_CLIPCHILDREN: a group box leaves its inside for the parent to paint.
inline constexpr DWORD kFixedWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
