// The automation layer on the system's own component objects, against the
// real automation object "Scripting.Dictionary" (scrrun.dll).
#include "automation.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string g_boxCaption, g_boxText;
int g_boxes = 0;

void RecordBox(void*, const char16_t* caption, const char16_t* text)
{
    g_boxCaption = caption;
    g_boxText = text;
    ++g_boxes;
}

std::string U8(const char16_t* text)
{
    return Utf16ToUtf8(text ? text : u"");
}

std::string U8(BSTR text)
{
    return U8(reinterpret_cast<const char16_t*>(text));
}

class Dictionary : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(AutomationInit(1, 0), S_OK);
        SetAutomationBoxFunction(RecordBox);
        SetErrorDisplay(1);
        g_boxes = 0;
        ASSERT_EQ(CreateObject(u"Scripting.Dictionary", nullptr, &dictionary), S_OK);
        ASSERT_NE(dictionary, nullptr);
    }
    void TearDown() override
    {
        if (dictionary)
            dictionary->Release();
        SetAutomationBoxFunction(nullptr);
        AutomationShutdown(1);
    }
    IDispatch* dictionary = nullptr;
};

TEST_F(Dictionary, AddItemCountAndKeysGoThroughTheSystemsDispatch)
{
    EXPECT_EQ(CallMethod(dictionary, u"Add(%T, %d)", "alpha", 1), S_OK);
    EXPECT_EQ(CallMethod(dictionary, u"Add(%S, %s)", u"бета", "два"), S_OK);
    std::int32_t count = 0;
    EXPECT_EQ(GetValue(u"%d", &count, dictionary, u"Count"), S_OK);
    EXPECT_EQ(count, 2);

    std::int32_t alpha = 0;
    EXPECT_EQ(GetValue(u"%d", &alpha, dictionary, u"Item(%T)", "alpha"), S_OK);
    EXPECT_EQ(alpha, 1);
    char* text = nullptr;
    EXPECT_EQ(GetValue(u"%s", &text, dictionary, u"Item(%S)", u"бета"), S_OK);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "два");
    SysFreeString(reinterpret_cast<BSTR>(text));

    EXPECT_EQ(PutValue(dictionary, u"Item(%T) = %d", "alpha", 5), S_OK);
    BSTR five = nullptr;
    EXPECT_EQ(GetValue(u"%S", &five, dictionary, u"Item(%T)", "alpha"), S_OK) << "converted to a string";
    EXPECT_EQ(U8(five), "5");
    SysFreeString(five);
    std::int32_t exists = 0;
    EXPECT_EQ(GetValue(u"%b", &exists, dictionary, u"Exists(%T)", "gamma"), S_OK);
    EXPECT_EQ(exists, 0);

    VARIANT keys;
    ASSERT_EQ(GetValue(u"%v", &keys, dictionary, u"Keys"), S_OK);
    ASSERT_EQ(keys.vt, VT_ARRAY | VT_VARIANT);
    LONG low = -1, high = -1;
    SafeArrayGetLBound(keys.parray, 1, &low);
    SafeArrayGetUBound(keys.parray, 1, &high);
    ASSERT_EQ(high - low, 1);
    std::string names;
    for (LONG i = low; i <= high; ++i) {
        VARIANT key;
        VariantInit(&key);
        SafeArrayGetElement(keys.parray, &i, &key);
        names += U8(key.bstrVal) + ";";
        VariantClear(&key);
    }
    EXPECT_EQ(names, "alpha;бета;");
    VariantClear(&keys);
    EXPECT_EQ(g_boxes, 0);
}

// What the report says for a code without a text of the object's: the
// system's own text, else the fallback.
std::string SystemText(HRESULT code)
{
    char text[1024];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(code), LANG_USER_DEFAULT, text, sizeof text, nullptr);
    wchar_t wide[1024];
    int units = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(n), wide, 1024);
    std::string utf8 = U8(std::u16string(reinterpret_cast<const char16_t*>(wide), static_cast<size_t>(units)).c_str());
    while (!utf8.empty() && (utf8.back() == '\n' || utf8.back() == '\r'))
        utf8.pop_back();
    return utf8.empty() ? "Unknown runtime error" : utf8;
}

std::string Hex(HRESULT code)
{
    char text[16];
    std::snprintf(text, sizeof text, "%lx", static_cast<unsigned long>(code));
    return text;
}

TEST_F(Dictionary, FailingCallIsReportedOnceWithTheSystemsText)
{
    ASSERT_EQ(CallMethod(dictionary, u"Add(%T, %d)", "alpha", 1), S_OK);
    // A key that is there already: the object fails the call.
    const HRESULT hr = CallMethod(dictionary, u"Add(%T, %d)", "alpha", 2);
    ASSERT_TRUE(FAILED(hr));
    const AutomationErrorRecord* record = GetAutomationErrorRecord();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(U8(record->memberName), "Add");
    const std::string description = hr == DISP_E_EXCEPTION && record->description ? U8(record->description)
                                                                                    : SystemText(hr);
    const std::string code = Hex(hr == DISP_E_EXCEPTION ? record->exceptionCode : hr);
    EXPECT_EQ(U8(record->description), description);
    EXPECT_EQ(g_boxes, 1) << "one box, from the outermost operation";
    EXPECT_EQ(U8(g_boxText.c_str()), "Member:\t  Add(%T, %d)\r\nFunction:\t  CallMethod\t\t\r\nError In:\t  InvokeArray\r\n"
                                     "Error:\t  " + description + "\r\nCode:\t  " + code +
                                     "\r\nSource:\t  IDispatch Interface");
    EXPECT_EQ(U8(g_boxCaption.c_str()), "Ошибка");
    char text[1024];
    GetAutomationErrorTextA(text, sizeof text);
    EXPECT_EQ(std::string(text), "Member:   Add(%T, %d)\r\nFunction: CallMethod\r\nError In: InvokeArray\r\n"
                                 "Error:    " + description + "\r\nCode:     " + code +
                                 "\r\nSource:   IDispatch Interface");

    // A member it does not have: the layer names it.
    EXPECT_EQ(CallMethod(dictionary, u"Frobnicate(%d)", 1), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(U8(GetAutomationErrorRecord()->description),
              "Object doesn't support this property or method: 'Frobnicate'");
    EXPECT_EQ(g_boxes, 2);
    std::int32_t count = 0;
    EXPECT_EQ(GetValue(u"%d", &count, dictionary, u"Count"), S_OK) << "the object still works";
    EXPECT_EQ(count, 1);
}

TEST(AutomationWindows, MissingComponentIsReportedWithTheSystemsText)
{
    ASSERT_EQ(AutomationInit(1, 0), S_OK);
    SetAutomationBoxFunction(RecordBox);
    SetErrorDisplay(1);
    g_boxes = 0;
    IDispatch* agent = nullptr;
    const HRESULT hr = CreateObject(u"Agent.Control.1", nullptr, &agent);
    if (SUCCEEDED(hr)) {
        agent->Release();
        GTEST_SKIP() << "Microsoft Agent is installed here";
    }
    EXPECT_EQ(agent, nullptr);
    EXPECT_EQ(g_boxes, 1);
    EXPECT_EQ(U8(g_boxText.c_str()), "Member:\t  Agent.Control.1\r\nFunction:\t  CreateObject\t\t\r\n"
                                     "Error In:\t  CreateObjectEx\r\nError:\t  " + SystemText(hr) +
                                     "\r\nCode:\t  " + Hex(hr) + "\r\nSource:\t  Application");
    SetAutomationBoxFunction(nullptr);
    AutomationShutdown(1);
}

}  // namespace
