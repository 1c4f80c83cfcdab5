// The agent sequence where Microsoft Agent is not installed (under Wine, and
// on every current Windows): one error box for the failed creation, and the
// sequence ends without waiting.
#include "agent_sequence_win32.h"
#include "automation.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_boxes;

void RecordBox(void*, const char16_t*, const char16_t* text)
{
    g_boxes.push_back(Utf16ToUtf8(text));
}

TEST(AgentSequenceWin32, MissingAgentGivesOneBoxAndEndsAtOnce)
{
    CLSID agent;
    if (SUCCEEDED(CLSIDFromProgID(L"Agent.Control.1", &agent)))
        GTEST_SKIP() << "Microsoft Agent is installed here";
    SetAutomationBoxFunction(RecordBox);
    std::atomic<std::int32_t> temperature{23};
    const auto start = std::chrono::steady_clock::now();
    RunAgentSequence(&temperature);  // the real pauses: none of them may be reached
    const auto took = std::chrono::steady_clock::now() - start;
    SetAutomationBoxFunction(nullptr);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].rfind("Member:\t  Agent.Control.1\r\nFunction:\t  CreateObject\t\t\r\n"
                               "Error In:\t  CreateObjectEx\r\nError:\t  ",
                               0),
              0u)
        << g_boxes[0];
    EXPECT_NE(g_boxes[0].find("\r\nCode:\t  800401f3\r\nSource:\t  Application"), std::string::npos) << g_boxes[0];
    EXPECT_LT(took, std::chrono::seconds(3)) << "no pause of the character's was waited for";
}

}  // namespace
