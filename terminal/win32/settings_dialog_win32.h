// "Настройка Порта" on Windows: a top-level window owned by the main window
// that shows the settings and reports "Ok" and its closing to its owner.
#pragma once

#include "port_settings.h"

#include <windows.h>

// Sent to the owner: "Ok" was pressed (apply, then close the dialog), or
// "Отмена" / the close box was used (close it). The owner destroys it.
inline constexpr UINT kSettingsOkMessage = WM_APP + 1;
inline constexpr UINT kSettingsDismissedMessage = WM_APP + 2;

// Creates the dialog hidden, filled from settings. nullptr on failure.
HWND CreateSettingsDialog(HWND owner, const PortSettings& settings, HFONT font);

// The dialog's current choices.
SettingsChoices DialogChoices(HWND dialog);
