// Each result format of GetValue.
#include "layer_fixture.h"

#include <cstdlib>
#include <ctime>

namespace {

TEST_F(LayerTest, NumberFormats)
{
    std::int32_t flag = 7;
    ASSERT_EQ(GetValue(u"%b", &flag, object_, u"Echo(%d)", 5), S_OK);
    EXPECT_EQ(flag, -1);
    ASSERT_EQ(GetValue(u"b", &flag, object_, u"Echo(%d)", 0), S_OK);
    EXPECT_EQ(flag, 0);

    std::int16_t small = 0;
    ASSERT_EQ(GetValue(u"%i", &small, object_, u"Echo(%d)", -300), S_OK);
    EXPECT_EQ(small, -300);
    std::uint16_t usmall = 0;
    ASSERT_EQ(GetValue(u"%I", &usmall, object_, u"Echo(%d)", 65535), S_OK);
    EXPECT_EQ(usmall, 65535);
    std::int32_t whole = 0;
    const double twoAndAHalf = 2.5;
    ASSERT_EQ(GetValue(u"%d", &whole, object_, u"Echo(%e)", &twoAndAHalf), S_OK);
    EXPECT_EQ(whole, 2);  // half to even
    std::intptr_t pointerSized = 0;
    ASSERT_EQ(GetValue(u"%p", &pointerSized, object_, u"Echo(%d)", -7), S_OK);
    EXPECT_EQ(pointerSized, -7);
    std::uint32_t unsignedWhole = 0;
    ASSERT_EQ(GetValue(u"%u", &unsignedWhole, object_, u"Echo(%u)", 4000000000u), S_OK);
    EXPECT_EQ(unsignedWhole, 4000000000u);
    float single = 0;
    ASSERT_EQ(GetValue(u"%r", &single, object_, u"Echo(%d)", 3), S_OK);
    EXPECT_EQ(single, 3.0f);
    double dbl = 0;
    ASSERT_EQ(GetValue(u"%e", &dbl, object_, u"Echo(%S)", u"-1.75"), S_OK);
    EXPECT_EQ(dbl, -1.75);
}

TEST_F(LayerTest, OutOfRangeNumberFailsAndLeavesTheOutValue)
{
    std::int16_t small = 9;
    EXPECT_EQ(GetValue(u"%i", &small, object_, u"Echo(%d)", 40000), DISP_E_OVERFLOW);
    EXPECT_EQ(small, 9);
}

TEST_F(LayerTest, DateFormats)
{
    const DATE noon = 46363.5;
    DATE date = 0;
    ASSERT_EQ(GetValue(u"%D", &date, object_, u"Echo(%e)", &noon), S_OK);
    EXPECT_EQ(date, 46363.5);

    SYSTEMTIME time{};
    ASSERT_EQ(GetValue(u"%W", &time, object_, u"Echo(%D)", &noon), S_OK);
    EXPECT_EQ(time.wYear, 2026);
    EXPECT_EQ(time.wMonth, 12);
    EXPECT_EQ(time.wDay, 7);
    EXPECT_EQ(time.wDayOfWeek, 1);  // a Monday
    EXPECT_EQ(time.wHour, 12);
    EXPECT_EQ(time.wMinute, 0);

    const DATE unixEpoch = 25569.0;
    std::uint64_t fileTime = 0;
    ASSERT_EQ(GetValue(u"%f", &fileTime, object_, u"Echo(%D)", &unixEpoch), S_OK);
    EXPECT_EQ(fileTime, 116444736000000000ull);

    setenv("TZ", "XYZ-3", 1);
    tzset();
    const DATE threeAm = 25569.125;
    std::int32_t seconds = -1;
    ASSERT_EQ(GetValue(u"%t", &seconds, object_, u"Echo(%D)", &threeAm), S_OK);
    EXPECT_EQ(seconds, 0);
    unsetenv("TZ");
    tzset();

    const DATE beyond = 3e6;  // after 9999
    EXPECT_EQ(GetValue(u"%W", &time, object_, u"Echo(%D)", &beyond), DISP_E_OVERFLOW);
}

TEST_F(LayerTest, StringFormats)
{
    BSTR wide = nullptr;
    ASSERT_EQ(GetValue(u"%S", &wide, object_, u"Echo(%d)", 42), S_OK);
    EXPECT_EQ(U8(wide), "42");
    SysFreeString(wide);
    ASSERT_EQ(GetValue(u"%B", &wide, object_, u"Echo(%S)", u"Ω"), S_OK);
    EXPECT_EQ(U8(wide), "Ω");
    SysFreeString(wide);

    char* narrow = nullptr;
    ASSERT_EQ(GetValue(u"%s", &narrow, object_, u"Echo(%S)", u"Привет"), S_OK);
    EXPECT_STREQ(narrow, "Привет");
    EXPECT_EQ(SysStringByteLen(reinterpret_cast<BSTR>(narrow)), 12u);
    SysFreeString(reinterpret_cast<BSTR>(narrow));

    AutomationInit(0, 0);
    ASSERT_EQ(GetValue(u"%T", &narrow, object_, u"Echo(%T)", "узко"), S_OK);
    EXPECT_STREQ(narrow, "узко");
    SysFreeString(reinterpret_cast<BSTR>(narrow));
    AutomationInit(0, 1);
    ASSERT_EQ(GetValue(u"%T", &wide, object_, u"Echo(%T)", u"широко"), S_OK);
    EXPECT_EQ(U8(wide), "широко");
    SysFreeString(wide);
}

TEST_F(LayerTest, BooleanFromTextUsesTheWords)
{
    std::int32_t flag = 0;
    ASSERT_EQ(GetValue(u"%b", &flag, object_, u"Echo(%S)", u"True"), S_OK);
    EXPECT_EQ(flag, -1);
    BSTR text = nullptr;
    ASSERT_EQ(GetValue(u"%S", &text, object_, u"Echo(%b)", 1), S_OK);
    EXPECT_EQ(U8(text), "True");
    SysFreeString(text);
}

TEST_F(LayerTest, VariantAndObjectFormats)
{
    VARIANT whole;
    ASSERT_EQ(GetValue(u"%v", &whole, object_, u"Echo(%i)", 3), S_OK);
    EXPECT_EQ(whole.vt, VT_I2);
    EXPECT_EQ(whole.iVal, 3);

    IUnknown* unknown = nullptr;
    ASSERT_EQ(GetValue(u"%O", &unknown, object_, u"Characters"), S_OK);
    ASSERT_NE(unknown, nullptr);
    unknown->Release();
    EXPECT_EQ(TestObject::LiveObjects(), 1u);

    IDispatch* none = reinterpret_cast<IDispatch*>(0x1);
    EXPECT_EQ(GetValue(u"%o", &none, object_, u"Nothing"), E_NOINTERFACE);
    EXPECT_EQ(none, reinterpret_cast<IDispatch*>(0x1));
    EXPECT_EQ(U8(GetAutomationErrorRecord()->description), "Object required");
}

TEST_F(LayerTest, BadFormatsAreRefusedBeforeAnyCall)
{
    std::int32_t out = 0;
    EXPECT_EQ(GetValue(u"%x", &out, object_, u"Echo(%d)", 1), E_INVALIDARG);
    EXPECT_EQ(GetValue(u"", &out, object_, u"Echo(%d)", 1), E_INVALIDARG);
    EXPECT_EQ(GetValue(u"%", &out, object_, u"Echo(%d)", 1), E_INVALIDARG);
    EXPECT_EQ(GetValue(u"dd", &out, object_, u"Echo(%d)", 1), E_INVALIDARG);
    EXPECT_EQ(GetValue(nullptr, &out, object_, u"Echo(%d)", 1), E_INVALIDARG);
    EXPECT_EQ(GetValue(u"%d", nullptr, object_, u"Echo(%d)", 1), E_INVALIDARG);
    EXPECT_EQ(CallCount(), 0u);
    EXPECT_EQ(U8(GetAutomationErrorRecord()->function), "GetValue");
    EXPECT_EQ(U8(GetAutomationErrorRecord()->errorIn), "GetValueV");
}

TEST_F(LayerTest, FailedConversionClearsTheResult)
{
    std::int32_t out = 5;
    EXPECT_EQ(GetValue(u"%d", &out, object_, u"Echo(%S)", u"abc"), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(out, 5);
}

}  // namespace
