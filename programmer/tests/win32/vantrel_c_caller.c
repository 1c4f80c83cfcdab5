/* A C program using Vantrel_PIC.dll as its users do: vantrel_pic.h and the
 * import library. Reads the first identifier word of an erased virtual chip
 * (3FFF); exit code 0 when it is read, else the step that failed. */
#include "vantrel_pic.h"

#include <stdio.h>

int main(void)
{
    int32_t word;
    Vantrel_Init(20, 0, 0, 0, 0);
    if (OpenCom_Port("VIRTUAL") == 0)
        return 1;
    if (Vantrel_Test() != 1)
        return 2;
    Vantrel_StartStop(1);
    Vantrel_OutByteCommand(0); /* Load Configuration: to the identifier words */
    Vantrel_OutByteData(0x3FFF);
    Vantrel_OutByteCommand(4); /* Read Data from Program Memory */
    word = Vantrel_InByteData();
    Vantrel_StartStop(0);
    CloseCom_Port();
    printf("identifier 1: %04X\n", (unsigned)word);
    return word == 0x3FFF ? 0 : 3;
}
