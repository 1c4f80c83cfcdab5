#include "layer_fixture.h"

#include <mutex>

namespace {

std::mutex g_boxLock;
std::vector<std::string> g_boxes;

}  // namespace

std::string U8(const char16_t* text) { return Utf16ToUtf8(text ? text : u""); }
std::string U8(const std::u16string& text) { return Utf16ToUtf8(text); }

std::vector<std::string> Boxes()
{
    std::lock_guard lock(g_boxLock);
    return g_boxes;
}

void ClearBoxes()
{
    std::lock_guard lock(g_boxLock);
    g_boxes.clear();
}

void RecordBox(void*, const char16_t* caption, const char16_t* text)
{
    std::lock_guard lock(g_boxLock);
    g_boxes.push_back(U8(caption) + "|" + U8(text));
}

void LayerTest::SetUp()
{
    RegisterTestObject();
    TestLog().Clear();
    ClearBoxes();
    AutomationSettings settings{};
    settings.showMessages = 1;
    SetAutomationSettings(&settings);
    SetAutomationBoxFunction(RecordBox);
    ASSERT_TRUE(SUCCEEDED(AutomationInit(1, 1)));
    ASSERT_EQ(CreateObject(kTestObjectProgId, nullptr, &object_), S_OK);
    ASSERT_NE(object_, nullptr);
}

void LayerTest::TearDown()
{
    SafeRelease(object_);
    AutomationShutdown(1);
    SetAutomationBoxFunction(nullptr);
    TestLog().Clear();
}

RecordedCall LayerTest::LastCall()
{
    const std::vector<RecordedCall> calls = TestLog().Calls();
    return calls.empty() ? RecordedCall{} : calls.back();
}

VARIANT LayerTest::LastArgument()
{
    const RecordedCall call = LastCall();
    EXPECT_EQ(call.args.size(), 1u);
    VARIANT none;
    VariantInit(&none);
    return call.args.empty() ? none : call.args[0];
}
