// The serial line service: open a port by name and settings string, move
// bytes with fixed time-outs, drive and read the modem-control lines.
//
// Every call is synchronous and keeps no hidden state besides the table of
// open ports. All integers are 32-bit signed; an on/off argument is on when
// nonzero. A handle of 0 means "no port"; operations on 0 or on -1 return 0.
// One thread uses a given port at a time; only SerialLine_WaitLineChange and,
// on Linux, the four line reads (SerialLine_GetCTS and its kind) may run in a
// second one.
//
// Port names: on Windows the device \\.\NAME (COM1 to COM256; names longer
// than 11 characters are refused), configured from the whole settings string
// by the system's mode parser. On Linux a name containing "/" is a device
// path; otherwise /dev/NAME when that exists (ttyUSB0, ttyACM0, udev-made
// COM1 links); otherwise COMn means /dev/ttyS(n-1). On both, names beginning
// with VIRTUAL select the virtual programmer (VIRTUAL, VIRTUAL-EMPTY,
// VIRTUAL-NOADAPTER).
#pragma once

#include <cstdint>

enum HandshakeMode : int32_t {
    HandshakeNone = 0,     // RTS off after open, no output flow control
    HandshakeRtsOn = 1,    // RTS on while open, no output flow control
    HandshakeRtsCts = 2,   // RTS/CTS hardware handshake both ways
    HandshakeXonXoff = 3,  // XON/XOFF both ways, characters 0x11 / 0x13
};

// Opens and configures a port. settings is "NAME" or "NAME:mode", mode in the
// MODE command syntax ("9600,N,8,1" or "baud=9600 parity=n data=8 stop=1").
// The port is locked while open: a later open through this service fails,
// from this process or any other, root included, and so does a later open
// by any other program, except one running as root that takes no flock lock.
// A program that had the port open before us is not kept out. The system
// console is never opened (0; SerialLine_IsSystemConsole tells why). Nothing
// is ever printed or shown. Queue sizes
// are advisory. Returns the handle, or 0 when the device cannot be opened. A
// mode the device refuses or cannot parse still gives a handle, with the port
// in the state it had. On Windows the handle of a COM port is the system's
// HANDLE of the device, cut to 32 bits as Windows allows (the system calls
// take it back sign-extended); the caller may use it with the KERNEL32
// communications calls too. Elsewhere, and for the virtual programmer, it is
// a number of the service's own.
int32_t SerialLine_Open(const char* settings, int32_t handshake, int32_t inputQueue, int32_t outputQueue);

// 1 when the settings string's port name is the machine's system console,
// which SerialLine_Open refuses; lets a caller whose open failed say why.
// Always 0 on Windows.
int32_t SerialLine_IsSystemConsole(const char* settings);

// Closes the port without waiting: output not yet sent is discarded, and the
// device gets back the settings it had before the open. 1 on success, 0 on
// failure or an unknown handle.
int32_t SerialLine_Close(int32_t handle);

// Writes count bytes, waiting at most 100 ms per byte plus 10 ms.
// 1 when all were written, else 0.
int32_t SerialLine_Write(int32_t handle, const void* buffer, int32_t count);

// Reads up to count bytes into buffer. Returns at the latest after
// 10 * count + 100 ms, or once 100 ms pass between two received bytes.
// Nonzero when the read itself succeeded (however many bytes came), 0 on
// failure. Callers ask SerialLine_InputCount first to know what is waiting.
int32_t SerialLine_Read(int32_t handle, void* buffer, int32_t count);

// Bytes received and waiting; 0 when the query fails.
int32_t SerialLine_InputCount(int32_t handle);

// Line changes. 1 on success, 0 on failure (also when the device has no
// modem lines, as a pseudo-terminal).
int32_t SerialLine_SetDTR(int32_t handle, int32_t on);
int32_t SerialLine_SetRTS(int32_t handle, int32_t on);
int32_t SerialLine_SetBreak(int32_t handle, int32_t on);  // TXD held in the break state

// Input lines: 1 when on, 0 when off or when the query fails.
int32_t SerialLine_GetCTS(int32_t handle);
int32_t SerialLine_GetDSR(int32_t handle);
int32_t SerialLine_GetRI(int32_t handle);
int32_t SerialLine_GetDCD(int32_t handle);

// Replaces the XON and XOFF characters (low 8 bits of each). 1 on success.
int32_t SerialLine_SetXonXoffChars(int32_t handle, int32_t xonChar, int32_t xoffChar);

// For an event loop: a descriptor that turns readable when bytes arrive, owned
// by the service and valid until SerialLine_Close. -1 when the port has none
// (unknown handle, the virtual programmer, Windows): the caller then polls.
int32_t SerialLine_InputDescriptor(int32_t handle);

// Blocks until CTS, DSR, DCD or RI changes; made to run in a thread of its own
// while another thread uses the port, and that thread must have returned from
// it before the port is closed. 1 after a change, 0 when a signal (with a
// handler installed without SA_RESTART) ended the wait, -1 when the port cannot
// wait for its lines: unknown handle, a device without the wait (pseudo-
// terminal, virtual programmer, Windows) or a device error such as an adapter
// unplugged. A UART driver counts RI only when it goes off, so RI coming on
// may not end the wait.
int32_t SerialLine_WaitLineChange(int32_t handle);
