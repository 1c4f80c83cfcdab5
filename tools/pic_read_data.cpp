// pic-read-data: the first ten bytes of the data memory.
#include "read_data_job.h"
#include "vantrel_pic.h"

namespace {

ToolResult ReadDataWithLinkedProtocol()
{
    return ReadDataMemory({Vantrel_StartStop, Vantrel_OutByteCommand, Vantrel_InByteData, CloseCom_Port});
}

}  // namespace

int main(int argc, char** argv)
{
    return RunTool(argc, argv, {"pic-read-data", "читает первые десять байтов памяти данных PIC через программатор Vantrel", kToolSettings}, ReadDataWithLinkedProtocol);
}
