/* A program of one's own on the Vantrel adapter: takes the port from
 * ComPortName in Preferences.ini, programs one word of program memory and
 * reads it back. Prints the word read; exit code 0 when it matches. */
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <vantrel_pic.h>

enum { LoadProgramData = 2, ReadProgramData = 4, BeginProgramming = 8 };

static void WaitMs(long ms)
{
    struct timespec t = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, NULL);
}

/* The value of ComPortName, from the lines before the first group. */
static int ReadPortName(char* name, size_t size)
{
    FILE* file = fopen("Preferences.ini", "r");
    char line[256];
    int found = 0;
    if (!file)
        return 0;
    while (!found && fgets(line, sizeof line, file) && line[0] != '[') {
        char* value = strchr(line, '=');
        if (value && strncmp(line, "ComPortName", 11) == 0) {
            value += strspn(value + 1, " \t") + 1;
            value[strcspn(value, " \t\r\n")] = '\0';
            snprintf(name, size, "%s", value);
            found = 1;
        }
    }
    fclose(file);
    return found;
}

int main(void)
{
    const int32_t word = 0x1234;
    char port[128];
    int32_t read;
    if (!ReadPortName(port, sizeof port)) {
        fputs("no ComPortName in Preferences.ini\n", stderr);
        return 2;
    }
    Vantrel_Init(20, 0, 0, 0, 0);
    if (OpenCom_Port(port) == 0 || Vantrel_Test() == 0) {
        fprintf(stderr, "no adapter on %s\n", port);
        return 3;
    }
    Vantrel_StartStop(1);
    WaitMs(100);
    Vantrel_OutByteCommand(LoadProgramData);
    Vantrel_OutByteData(word);
    Vantrel_OutByteCommand(BeginProgramming);
    WaitMs(20);
    Vantrel_OutByteCommand(ReadProgramData);
    read = Vantrel_InByteData();
    Vantrel_StartStop(0);
    CloseCom_Port();
    printf("%04X\n", (unsigned)read);
    return read == word ? 0 : 1;
}
