// The entry points of "hid.dll" and "setupapi.dll" that the Windows HID
// access binds by name at start-up. Tests put replacements in their place.
#pragma once

#include <windows.h>
#include <hidsdi.h>
#include <setupapi.h>

struct HidWindowsApi {
    void(WINAPI* HidD_GetHidGuid)(GUID* guid) = nullptr;
    BOOLEAN(WINAPI* HidD_GetAttributes)(HANDLE device, HIDD_ATTRIBUTES* attributes) = nullptr;
    HDEVINFO(WINAPI* SetupDiGetClassDevsA)(const GUID* classGuid, PCSTR enumerator, HWND parent,
                                           DWORD flags) = nullptr;
    BOOL(WINAPI* SetupDiEnumDeviceInterfaces)(HDEVINFO set, SP_DEVINFO_DATA* deviceInfo, const GUID* classGuid,
                                              DWORD index, SP_DEVICE_INTERFACE_DATA* interfaceData) = nullptr;
    BOOL(WINAPI* SetupDiGetDeviceInterfaceDetailA)(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* interfaceData,
                                                   SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, DWORD detailSize,
                                                   DWORD* requiredSize, SP_DEVINFO_DATA* deviceInfo) = nullptr;
    BOOL(WINAPI* SetupDiDestroyDeviceInfoList)(HDEVINFO set) = nullptr;
};

// Binds these entry points as HidLoad does, from the given table instead of
// the system libraries (every entry must be set; false otherwise). For tests:
// the device paths the table hands out are opened with CreateFileA as usual.
bool HidWindowsUseApi(const HidWindowsApi& api);
