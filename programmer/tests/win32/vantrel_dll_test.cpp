// Vantrel_PIC.dll as another program sees it: loaded with LoadLibraryA, each
// export found by its undecorated name with GetProcAddress, driving the
// virtual programmer; and its version record.
#include "vantrel_pic.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

class VantrelDll : public ::testing::Test {
protected:
    static void SetUpTestSuite() { library_ = ::LoadLibraryA("Vantrel_PIC.dll"); }

    template <typename... Args>
    static int32_t Call(const char* name, Args... args)
    {
        using Function = int32_t(VANTREL_CALL*)(Args...);
        const FARPROC address = ::GetProcAddress(library_, name);
        EXPECT_NE(address, nullptr) << name;
        return address ? reinterpret_cast<Function>(reinterpret_cast<void*>(address))(args...) : -1;
    }

    static HMODULE library_;
};

HMODULE VantrelDll::library_ = nullptr;

TEST_F(VantrelDll, ExportsTheTenNamesAndNothingOfItsInsides)
{
    ASSERT_NE(library_, nullptr);
    for (const char* name : {"OpenCom_Port", "CloseCom_Port", "Vantrel_Init", "Vantrel_Test", "Vantrel_StartStop",
                             "Vantrel_OutByteCommand", "Vantrel_OutByteData", "Vantrel_InByteData", "Vantrel_DataOut",
                             "Vantrel_DataIn"})
        EXPECT_NE(::GetProcAddress(library_, name), nullptr) << name;
    for (const char* name : {"SerialLine_Open", "DelayMicroseconds", "Vantrel_Init@20", "_Vantrel_Init@20"})
        EXPECT_EQ(::GetProcAddress(library_, name), nullptr) << name;
}

TEST_F(VantrelDll, ProgramsAndReadsBackAWordOfTheVirtualChip)
{
    ASSERT_NE(library_, nullptr);
    wchar_t temp[MAX_PATH];
    ASSERT_GT(::GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring dir = std::wstring(temp) + L"vantrel-dll-" + std::to_wstring(::GetCurrentProcessId());
    ASSERT_TRUE(::CreateDirectoryW(dir.c_str(), nullptr));
    ASSERT_TRUE(::SetCurrentDirectoryW(dir.c_str()));

    EXPECT_EQ(Call("Vantrel_Init", 20, 0, 0, 0, 0), 0);
    EXPECT_NE(Call("OpenCom_Port", "VIRTUAL"), 0);
    EXPECT_EQ(Call("Vantrel_Test"), 1);
    Call("Vantrel_StartStop", 1);
    Call("Vantrel_OutByteCommand", 2);  // Load Data for Program Memory
    Call("Vantrel_OutByteData", 0x1234);
    Call("Vantrel_OutByteCommand", 8);  // Begin Erase/Programming Cycle
    ::Sleep(20);
    // A power cycle brings the location counter back to 0.
    Call("Vantrel_StartStop", 0);
    Call("Vantrel_StartStop", 1);
    Call("Vantrel_OutByteCommand", 4);  // Read Data from Program Memory
    EXPECT_EQ(Call("Vantrel_InByteData"), 0x1234);
    Call("Vantrel_StartStop", 0);
    EXPECT_EQ(Call("CloseCom_Port"), 0);

    ::SetCurrentDirectoryW(temp);
    ::DeleteFileW((dir + L"\\virtual-pic.hex").c_str());
    ::DeleteFileW((dir + L"\\virtual-pic.vcd").c_str());
    ::RemoveDirectoryW(dir.c_str());
}

TEST_F(VantrelDll, WithoutAPortEveryInputReadsOffThroughItsInversion)
{
    ASSERT_NE(library_, nullptr);
    EXPECT_EQ(Call("OpenCom_Port", static_cast<const char*>(nullptr)), 0);
    EXPECT_EQ(Call("OpenCom_Port", ""), 0);
    EXPECT_EQ(Call("Vantrel_Test"), 0);
    Call("Vantrel_Init", 0, 0, 257, 0, 0);  // data in inverted: low 8 bits are 1
    EXPECT_EQ(Call("Vantrel_DataIn"), 1);
    EXPECT_EQ(Call("Vantrel_InByteData"), 0x3FFF);
    Call("Vantrel_Init", 0, 0, 2, 0, 0);  // 2 does not invert
    EXPECT_EQ(Call("Vantrel_InByteData"), 0);
}

TEST_F(VantrelDll, CarriesTheVersionRecord)
{
    ASSERT_NE(library_, nullptr);
    wchar_t path[MAX_PATH];
    ASSERT_GT(::GetModuleFileNameW(library_, path, MAX_PATH), 0u);
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path, &ignored);
    ASSERT_GT(size, 0u);
    std::string data(size, '\0');
    ASSERT_TRUE(::GetFileVersionInfoW(path, 0, size, data.data()));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length));
    EXPECT_EQ(info->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(info->dwFileVersionLS, 0u);
    EXPECT_EQ(info->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(info->dwProductVersionLS, 0u);
}

}  // namespace
