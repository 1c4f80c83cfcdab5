// The Vantrel programmer adapter, driven bit by bit through the modem-control
// lines of a serial port: clock on RTS, data to the target on DTR, data from
// the target on CTS, power and programming voltage on TXD through the break
// state, and RTS looped back to DSR so the adapter can be recognised.
//
// These ten functions are what Vantrel_PIC.dll (Windows) and
// libVantrel_PIC.so (Linux) export, under undecorated C names. On Windows
// they use the __stdcall convention, the usual one for DLLs called from
// Delphi, Visual Basic, LabVIEW or Python's ctypes.WinDLL; on Linux the
// platform's only C convention. The tools link the same code statically.
// Every argument and result is a 32-bit integer, or a string the caller owns
// for the call. One thread
// at a time; the expected order is Vantrel_Init, OpenCom_Port, Vantrel_Test,
// Vantrel_StartStop(1), commands and data words, Vantrel_StartStop(0),
// CloseCom_Port. Nothing enforces it, and nothing here shows a message.
#pragma once

#include <stdint.h>

#if defined(_WIN32)
#define VANTREL_CALL __stdcall
#define VANTREL_EXPORT /* the exports are listed in Vantrel_PIC.def */
#else
#define VANTREL_CALL
#define VANTREL_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

// The longest unit delay, in microseconds (one second): the range 0 to
// VANTREL_MAX_DELAY is what pic-prog's --delay accepts too.
#define VANTREL_MAX_DELAY 1000000

// Stores the unit delay D (microseconds; 9 or less: none) and the four
// inversion flags. A delay outside 0..VANTREL_MAX_DELAY is taken as the
// nearer end (a negative one as 0, no delay), so that a stray value cannot
// make every bit take minutes. A flag inverts its line only when its low 8
// bits equal 1. Returns 0.
VANTREL_EXPORT int32_t VANTREL_CALL Vantrel_Init(int32_t delayMicroseconds, int32_t dataOutInverted,
                                                 int32_t dataInInverted, int32_t clockInverted,
                                                 int32_t powerInverted);

// Opens the port ("COM1", "ttyUSB0", "VIRTUAL", a path...) at 9600,N,8,1
// without flow control, closing a port opened before. Returns the handle,
// 0 when the port cannot be opened. name may be null (gives 0).
VANTREL_EXPORT int32_t VANTREL_CALL OpenCom_Port(const char* name);

// Closes the port if one is open. Returns 0.
VANTREL_EXPORT int32_t VANTREL_CALL CloseCom_Port(void);

// Presence test: DSR must follow RTS both ways (raw lines, 40 ms in all).
// 1 when the adapter answers, else 0. Leaves RTS cleared.
VANTREL_EXPORT int32_t VANTREL_CALL Vantrel_Test(void);

// Clock and data low, 40 ms, then power on (low 8 bits of on nonzero: the
// target enters serial programming mode) or off. Returns 0.
VANTREL_EXPORT int32_t VANTREL_CALL Vantrel_StartStop(int32_t on);

// Sends the low 6 bits of command, least significant first. Returns 0.
VANTREL_EXPORT int32_t VANTREL_CALL Vantrel_OutByteCommand(int32_t command);

// Sends a 0 start bit, the low 14 bits of word (least significant first) and
// a 0 stop bit. Returns 0.
VANTREL_EXPORT int32_t VANTREL_CALL Vantrel_OutByteData(int32_t word);

// Releases the data line and clocks in 16 bits; returns the 14 between start
// and stop bit (0..0x3FFF).
VANTREL_EXPORT int32_t VANTREL_CALL Vantrel_InByteData(void);

// One clocked bit to the target (low 8 bits nonzero: 1). Returns 0.
VANTREL_EXPORT int32_t VANTREL_CALL Vantrel_DataOut(int32_t bit);

// One clocked bit from the target: 0 or 1.
VANTREL_EXPORT int32_t VANTREL_CALL Vantrel_DataIn(void);

#ifdef __cplusplus
}
#endif
