#include "port_api.h"

#include "port_devices.h"
#include "serial_line.h"

SerialPortApi SystemSerialPortApi()
{
    return {SerialLine_Open,   SerialLine_Close,  SerialLine_Write,  SerialLine_Read,  SerialLine_InputCount,
            SerialLine_SetDTR, SerialLine_SetRTS, SerialLine_SetBreak, SerialLine_GetCTS, SerialLine_GetDSR,
            SerialLine_GetDCD, SerialLine_GetRI,  SerialLine_SetXonXoffChars, SerialLine_InputDescriptor,
            SerialLine_WaitLineChange, SerialLine_IsSystemConsole, SerialDevicesOfThisMachine};
}
