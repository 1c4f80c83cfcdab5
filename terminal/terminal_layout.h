// The two Wirelet windows as tables: every control with its kind, text and
// client-area rectangle, in creation order (which is also the Tab order).
// Both front ends build their windows from these tables.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

enum class ControlKind {
    Label,
    SectionLabel,    // a label in the section font
    GroupBox,
    PushButton,
    WrappingButton,  // a push button whose caption may wrap to a second line
    CheckBox,
    ReadOnlyField,
    DigitField,      // decimal digits only, a limited number of them typed
    DropDownList,    // pick-only
};

struct ControlSpec {
    ControlKind kind;
    std::string_view text;  // UTF-8; empty for fields and value labels
    int x, y, width, height;
    std::span<const std::string_view> items = {};  // the list's items
};

// Positions of the main window's controls in kMainControls.
enum MainControl : int {
    MainPortLabel,
    MainSettingsFrame,
    MainPortValue,
    MainSpeedLabel,
    MainSpeedValue,
    MainDataBitsLabel,
    MainDataBitsValue,
    MainParityLabel,
    MainParityValue,
    MainStopBitsLabel,
    MainStopBitsValue,
    MainFlowLabel,
    MainFlowValue,
    MainSettingsButton,
    MainDtrBox,
    MainLinesFrame,
    MainRtsBox,
    MainDsrIndicator,
    MainCtsIndicator,
    MainDcdLabel,
    MainCtsLabel,
    MainDcdIndicator,
    MainRiIndicator,
    MainDsrLabel,
    MainRiLabel,
    MainReceiveLabel,
    MainReceivedField,
    MainSendLabel,
    MainSendField,
    MainSendButton,
    MainControlCount
};

// Positions of the settings dialog's controls in kDialogControls.
enum DialogControl : int {
    DialogPortLabel,
    DialogPortList,
    DialogSpeedLabel,
    DialogSpeedList,
    DialogFrame,
    DialogDataBitsLabel,
    DialogDataBitsList,
    DialogParityLabel,
    DialogStopBitsLabel,
    DialogFlowLabel,
    DialogParityList,
    DialogStopBitsList,
    DialogFlowList,
    DialogOkButton,
    DialogCancelButton,
    DialogXonXoffFrame,
    DialogXonLabel,
    DialogXonField,
    DialogXoffLabel,
    DialogXoffField,
    DialogControlCount
};

extern const ControlSpec kMainControls[MainControlCount];
extern const ControlSpec kDialogControls[DialogControlCount];

// The six value labels in the order UpdateSettingsDisplay fills them.
inline constexpr MainControl kSettingsValueLabels[6] = {MainPortValue,     MainSpeedValue, MainParityValue,
                                                        MainStopBitsValue, MainFlowValue,  MainDataBitsValue};

// The controls that are usable only while a port is open.
inline constexpr MainControl kOpenPortControls[3] = {MainRtsBox, MainDtrBox, MainSendButton};

// The controls enabled only while "Xon / Xoff" is the flow control.
inline constexpr DialogControl kXonXoffGroup[5] = {DialogXonXoffFrame, DialogXonLabel, DialogXonField,
                                                   DialogXoffLabel, DialogXoffField};

inline constexpr int kMainClientWidth = 362;
inline constexpr int kMainClientHeight = 310;
inline constexpr int kDialogClientWidth = 305;
inline constexpr int kDialogClientHeight = 300;

inline constexpr std::string_view kMainFirstTitle = "Порт";
inline constexpr std::string_view kDialogTitle = "Настройка Порта";

// Digits a user may type into the send field and the Xon/Xoff fields.
inline constexpr int kTypedDigits = 3;

// The section font of "Приём байта" and "Передача байта".
inline constexpr std::string_view kSectionFontFace = "Taboha";
inline constexpr int kSectionFontPoints = 10;
inline constexpr int kSectionFontWeight = 700;
