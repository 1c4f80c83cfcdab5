// Ambrel.exe itself under Wine with a display: no thermometer, the speech
// engines Wine offers, and the agent switch where Microsoft Agent is missing.
// Linked into the window's test program, so that one display serves both:
//   ambrel_win32_test [PATH-TO-Ambrel.exe]
#include "ambrel_win32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

std::wstring g_program;

template <typename Done>
bool WaitFor(Done done, int seconds = 20)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        Sleep(50);
    }
    return true;
}

// WM_GETTEXT, since GetWindowTextW does not ask another process's edit box.
std::wstring Text(HWND window)
{
    wchar_t text[1024] = {};
    SendMessageW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return text;
}

struct BoxSearch {
    DWORD process;
    HWND box;
};

BOOL CALLBACK FindBox(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<BoxSearch*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t kind[32] = {};
    GetClassNameW(window, kind, 32);
    if (process == search->process && std::wstring(kind) == L"#32770" && IsWindowVisible(window)) {
        search->box = window;
        return FALSE;
    }
    return TRUE;
}

TEST(AmbrelExe, StartsWithoutThermometerAndReportsTheMissingAgent)
{
    if (g_program.empty())
        GTEST_SKIP() << "no Ambrel.exe given";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring command = L"\"" + g_program + L"\"";
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process))
        << "cannot start " << std::string(g_program.begin(), g_program.end());
    // A failed assertion must not leave Ambrel running: the prefix would not
    // stop and the whole test would run into its time-out.
    struct EndProgram {
        HANDLE process;
        ~EndProgram()
        {
            if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT)
                TerminateProcess(process, 1);
            CloseHandle(process);
        }
    } endProgram{process.hProcess};
    HWND window = nullptr;
    // The main window can be found before its controls exist and show their
    // first texts: wait for the status line, not just the window.
    EXPECT_TRUE(WaitFor([&] {
        window = FindWindowW(L"AmbrelWindow", L"Ambrel");
        return window != nullptr && !Text(GetDlgItem(window, kStatusLabel)).empty();
    }));
    if (window) {
        EXPECT_EQ(Text(GetDlgItem(window, kStatusLabel)), L"Нет связи с термометром");
        EXPECT_EQ(Text(GetDlgItem(window, kTemperatureBox)), L"OFF");
        // Wine's automation voice lists no voice: an empty list, and the
        // window is there all the same.
        const LRESULT voices = SendMessageW(GetDlgItem(window, kVoiceList), CB_GETCOUNT, 0, 0);
        std::printf("voices listed: %ld\n", static_cast<long>(voices));
        HWND say = GetDlgItem(window, kSayButton);
        ASSERT_NE(say, nullptr);
        SendMessageW(say, BM_CLICK, 0, 0);  // speaks with no voice: nothing happens
        EXPECT_TRUE(IsWindowEnabled(say));

        SendMessageW(GetDlgItem(window, kWizardCheck), BM_SETCHECK, BST_CHECKED, 0);
        SendMessageW(say, BM_CLICK, 0, 0);
        BoxSearch search{process.dwProcessId, nullptr};
        EXPECT_TRUE(WaitFor([&] {
            EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
            return search.box != nullptr;
        }));
        if (search.box) {
            EXPECT_FALSE(IsWindowEnabled(say)) << "disabled while the agent's turn lasts";
            EXPECT_EQ(Text(search.box), L"Ошибка");
            const std::wstring report = Text(GetDlgItem(search.box, 0xFFFF));
            EXPECT_EQ(report.rfind(L"Member:\t  Agent.Control.1\r\nFunction:\t  CreateObject", 0), 0u);
            EXPECT_NE(report.find(L"Code:\t  800401f3"), std::wstring::npos);
            PostMessageW(search.box, WM_COMMAND, IDOK, 0);
        }
        EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(say) != FALSE; })) << "enabled again after the box";
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(process.hThread);
}

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // A Unix path names the file on Wine's drive Z:.
    std::string path = argc > 1 ? argv[1] : "";
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    g_program.assign(path.begin(), path.end());
    return RUN_ALL_TESTS();
}
