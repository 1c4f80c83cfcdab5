/* A C program that loads Vantrel_PIC.dll at run time and uses the value
 * OpenCom_Port returns as the port's own HANDLE, with the KERNEL32 calls, on
 * COM11: a pseudo-terminal whose far end echoes every byte. Then it unloads
 * the library and checks that the port stayed open for it.
 *
 * Under Wine a pseudo-terminal has no modem lines: EscapeCommFunction and
 * GetCommModemStatus fail there with error 50 (not supported). What they
 * must not say is error 6, "invalid handle", which a number that is not a
 * handle gives. Exit code 0 when every check passed; each failure is printed. */
#include <windows.h>

#include <stdint.h>
#include <stdio.h>

typedef int32_t(__stdcall *OpenComPortFunction)(const char *);
typedef int32_t(__stdcall *CloseComPortFunction)(void);

static int failures = 0;

static void check(int ok, const char *what)
{
    if (!ok) {
        printf("FAIL: %s (error %lu)\n", what, (unsigned long)GetLastError());
        ++failures;
    }
}

/* A 32-bit value back to a HANDLE: sign-extended, as Windows documents for
 * handles passed between 32-bit and 64-bit code. */
static HANDLE handle_of(int32_t value)
{
    return (HANDLE)(intptr_t)value;
}

/* Sends four bytes through the handle and reads the echo back within a few
 * seconds (a loaded machine delays the far end). */
static int echo_passes(HANDLE port)
{
    const char sent[4] = {'V', 0x00, (char)0xFF, '\n'};
    char got[4] = {0};
    DWORD written = 0;
    DWORD total = 0;
    int tries;
    if (!WriteFile(port, sent, sizeof sent, &written, NULL) || written != sizeof sent)
        return 0;
    for (tries = 0; tries < 50 && total < sizeof got; ++tries) {
        DWORD read = 0;
        if (!ReadFile(port, got + total, (DWORD)(sizeof got - total), &read, NULL))
            return 0;
        total += read;
    }
    return total == sizeof got && memcmp(sent, got, sizeof got) == 0;
}

/* What a program written against the DLL does with the handle itself. */
static void check_handle_is_the_port(int32_t value, const char *when)
{
    HANDLE port = handle_of(value);
    DWORD status = 0;
    char what[160];
    snprintf(what, sizeof what, "GetFileType is FILE_TYPE_CHAR %s", when);
    SetLastError(0);
    check(GetFileType(port) == FILE_TYPE_CHAR, what);

    snprintf(what, sizeof what, "EscapeCommFunction(SETDTR) takes the handle %s", when);
    SetLastError(0);
    check(EscapeCommFunction(port, SETDTR) || GetLastError() != ERROR_INVALID_HANDLE, what);

    snprintf(what, sizeof what, "GetCommModemStatus takes the handle %s", when);
    SetLastError(0);
    check(GetCommModemStatus(port, &status) || GetLastError() != ERROR_INVALID_HANDLE, what);

    snprintf(what, sizeof what, "bytes written through the handle come back %s", when);
    check(echo_passes(port), what);
}

int main(void)
{
    HMODULE library = LoadLibraryA("Vantrel_PIC.dll");
    OpenComPortFunction open_port;
    CloseComPortFunction close_port;
    int32_t first, second, virtual_port;
    if (!library) {
        printf("FAIL: Vantrel_PIC.dll does not load (error %lu)\n", (unsigned long)GetLastError());
        return 1;
    }
    open_port = (OpenComPortFunction)(void (*)(void))GetProcAddress(library, "OpenCom_Port");
    close_port = (CloseComPortFunction)(void (*)(void))GetProcAddress(library, "CloseCom_Port");
    if (!open_port || !close_port) {
        printf("FAIL: OpenCom_Port or CloseCom_Port is not exported\n");
        return 1;
    }

    first = open_port("COM11");
    check(first != 0, "OpenCom_Port(COM11) opens the port");
    if (first == 0)
        return 1;
    check_handle_is_the_port(first, "after the open");

    /* The library's own calls find the port by the same value: a second open
     * closes the first port, so its handle goes invalid. */
    second = open_port("COM11");
    check(second != 0, "OpenCom_Port(COM11) opens the port again");
    if (second != first) {
        SetLastError(0);
        check(GetFileType(handle_of(first)) == FILE_TYPE_UNKNOWN && GetLastError() == ERROR_INVALID_HANDLE,
              "the second open closed the first handle");
    }
    check_handle_is_the_port(second, "after the second open");

    /* The virtual programmer has no HANDLE: it gets a number of its own. */
    virtual_port = open_port("VIRTUAL-NOADAPTER");
    check(virtual_port != 0 && virtual_port != -1, "the virtual programmer opens with a number of its own");
    close_port();

    /* Unloading leaves an open port open: the caller still holds it. */
    second = open_port("COM11");
    check(second != 0, "OpenCom_Port(COM11) opens the port before the unload");
    check(FreeLibrary(library) != 0, "FreeLibrary");
    check(GetModuleHandleA("Vantrel_PIC.dll") == NULL, "the library is unloaded");
    check_handle_is_the_port(second, "after FreeLibrary");
    check(CloseHandle(handle_of(second)) != 0, "the caller closes the port it was left");

    if (failures == 0)
        printf("ok: handles %ld and %ld are the port's own; the port outlived the library\n", (long)first,
               (long)second);
    return failures == 0 ? 0 : 1;
}
