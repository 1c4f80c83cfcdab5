// Each argument letter and the variant it makes.
#include "layer_fixture.h"

#include <cstdint>
#include <cstdlib>
#include <ctime>

namespace {

// Local time three hours east of UTC, for the "t" letter and format.
class FixedZone {
public:
    FixedZone()
    {
        const char* old = std::getenv("TZ");
        saved_ = old ? old : "";
        had_ = old != nullptr;
        setenv("TZ", "XYZ-3", 1);
        tzset();
    }
    ~FixedZone()
    {
        if (had_)
            setenv("TZ", saved_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string saved_;
    bool had_;
};

TEST_F(LayerTest, IntegerLetters)
{
    ASSERT_EQ(CallMethod(object_, u"Load(%i)", -2), S_OK);
    EXPECT_EQ(LastArgument().vt, VT_I2);
    EXPECT_EQ(LastArgument().iVal, -2);
    ASSERT_EQ(CallMethod(object_, u"Load(%i)", 70000), S_OK);  // a 16-bit value: the low half
    EXPECT_EQ(LastArgument().iVal, 4464);
    ASSERT_EQ(CallMethod(object_, u"Load(%I)", 65535u), S_OK);
    EXPECT_EQ(LastArgument().vt, VT_UI2);
    EXPECT_EQ(LastArgument().uiVal, 65535);
    ASSERT_EQ(CallMethod(object_, u"Load(%d)", INT32_MIN), S_OK);
    EXPECT_EQ(LastArgument().vt, VT_I4);
    EXPECT_EQ(LastArgument().lVal, INT32_MIN);
    ASSERT_EQ(CallMethod(object_, u"Load(%u)", 4000000000u), S_OK);
    EXPECT_EQ(LastArgument().vt, VT_UI4);
    EXPECT_EQ(LastArgument().ulVal, 4000000000u);
}

TEST_F(LayerTest, PointerSizedLetterMustFitIn32Bits)
{
    ASSERT_EQ(CallMethod(object_, u"Load(%p)", static_cast<std::intptr_t>(-12345)), S_OK);
    EXPECT_EQ(LastArgument().vt, VT_I4);
    EXPECT_EQ(LastArgument().lVal, -12345);
    TestLog().Clear();
    EXPECT_EQ(CallMethod(object_, u"Load(%p)", static_cast<std::intptr_t>(1) << 40), DISP_E_OVERFLOW);
    EXPECT_EQ(CallCount(), 0u);
}

TEST_F(LayerTest, FloatingPointLetters)
{
    const float single = 1.5f;
    const double dbl = -2.25;
    const DATE date = 46363.5;
    ASSERT_EQ(CallMethod(object_, u"Load(%r)", &single), S_OK);
    EXPECT_EQ(LastArgument().vt, VT_R4);
    EXPECT_EQ(LastArgument().fltVal, 1.5f);
    ASSERT_EQ(CallMethod(object_, u"Load(%e)", &dbl), S_OK);
    EXPECT_EQ(LastArgument().vt, VT_R8);
    EXPECT_EQ(LastArgument().dblVal, -2.25);
    ASSERT_EQ(CallMethod(object_, u"Load(%D)", &date), S_OK);
    EXPECT_EQ(LastArgument().vt, VT_DATE);
    EXPECT_EQ(LastArgument().date, 46363.5);
    EXPECT_EQ(CallMethod(object_, u"Load(%e)", static_cast<const double*>(nullptr)), E_INVALIDARG);
}

TEST_F(LayerTest, CalendarDateLetter)
{
    const SYSTEMTIME noon{2026, 12, 0, 7, 12, 0, 0, 0};
    ASSERT_EQ(CallMethod(object_, u"Load(%W)", &noon), S_OK);
    EXPECT_EQ(LastArgument().vt, VT_DATE);
    EXPECT_DOUBLE_EQ(LastArgument().date, 46363.5);
    // Before 1899-12-30 the day counts back while the hours still count on.
    const SYSTEMTIME early{1899, 12, 0, 29, 6, 0, 0, 0};
    ASSERT_EQ(CallMethod(object_, u"Load(%W)", &early), S_OK);
    EXPECT_DOUBLE_EQ(LastArgument().date, -1.25);
    const SYSTEMTIME bad{2026, 13, 0, 1, 0, 0, 0, 0};
    EXPECT_EQ(CallMethod(object_, u"Load(%W)", &bad), E_INVALIDARG);
    const SYSTEMTIME february30{2024, 2, 0, 30, 0, 0, 0, 0};
    EXPECT_EQ(CallMethod(object_, u"Load(%W)", &february30), E_INVALIDARG);
}

TEST_F(LayerTest, FileTimeLetterDividesByADayOfTicks)
{
    const std::uint64_t unixEpoch = 116444736000000000ull;  // 1970-01-01 in 100 ns since 1601
    ASSERT_EQ(CallMethod(object_, u"Load(%f)", &unixEpoch), S_OK);
    EXPECT_EQ(LastArgument().vt, VT_DATE);
    EXPECT_DOUBLE_EQ(LastArgument().date, 116444736000000000.0 / 864000000000.0 - 109205);
    EXPECT_DOUBLE_EQ(LastArgument().date, 25569.0);
    const std::uint64_t y2kSix = 125911800000000000ull;  // 2000-01-01 06:00
    ASSERT_EQ(CallMethod(object_, u"Load(%f)", &y2kSix), S_OK);
    EXPECT_DOUBLE_EQ(LastArgument().date, 36526.25);
}

TEST_F(LayerTest, UnixTimeLetterGivesLocalDate)
{
    FixedZone zone;
    ASSERT_EQ(CallMethod(object_, u"Load(%t)", 0), S_OK);
    EXPECT_EQ(LastArgument().vt, VT_DATE);
    EXPECT_DOUBLE_EQ(LastArgument().date, (0 + 3 * 3600) / 86400.0 + 25569);
    ASSERT_EQ(CallMethod(object_, u"Load(%t)", 86400 * 2), S_OK);
    EXPECT_DOUBLE_EQ(LastArgument().date, 25571.125);
}

TEST_F(LayerTest, StringLetters)
{
    ASSERT_EQ(CallMethod(object_, u"Load(%s)", "Привет"), S_OK);
    EXPECT_EQ(LastArgument().vt, VT_BSTR);
    EXPECT_EQ(U8(LastArgument().bstrVal), "Привет");
    EXPECT_EQ(SysStringLen(LastArgument().bstrVal), 6u);

    const char16_t* wide = u"Ωmega";
    ASSERT_EQ(CallMethod(object_, u"Load(%S)", wide), S_OK);
    EXPECT_EQ(U8(LastArgument().bstrVal), "Ωmega");

    ASSERT_EQ(CallMethod(object_, u"Load(%s)", static_cast<const char*>(nullptr)), S_OK);
    EXPECT_EQ(SysStringLen(LastArgument().bstrVal), 0u);

    AutomationInit(0, 0);
    ASSERT_EQ(CallMethod(object_, u"Load(%T)", "узкая"), S_OK);
    EXPECT_EQ(U8(LastArgument().bstrVal), "узкая");
    AutomationInit(0, 1);
    ASSERT_EQ(CallMethod(object_, u"Load(%T)", u"широкая"), S_OK);
    EXPECT_EQ(U8(LastArgument().bstrVal), "широкая");
}

TEST_F(LayerTest, ReadyStringPassesUnchangedAndStaysTheCallers)
{
    BSTR ready = SysAllocString(u"ready");
    ASSERT_EQ(CallMethod(object_, u"Load(%B)", ready), S_OK);
    // The log holds its own copy; the text is the same.
    EXPECT_EQ(U8(LastArgument().bstrVal), "ready");
    EXPECT_EQ(SysStringLen(ready), 5u);  // still ours: the layer did not free it
    SysFreeString(ready);
}

TEST_F(LayerTest, ObjectAndVariantLetters)
{
    ASSERT_EQ(CallMethod(object_, u"Load(%o)", object_), S_OK);
    EXPECT_EQ(LastArgument().vt, VT_DISPATCH);
    EXPECT_EQ(LastArgument().pdispVal, object_);
    ASSERT_EQ(CallMethod(object_, u"Load(%O)", static_cast<IUnknown*>(object_)), S_OK);
    EXPECT_EQ(LastArgument().vt, VT_UNKNOWN);

    VARIANT text;
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(u"copied");
    ASSERT_EQ(CallMethod(object_, u"Load(%v)", &text), S_OK);
    EXPECT_EQ(LastArgument().vt, VT_BSTR);
    EXPECT_EQ(U8(LastArgument().bstrVal), "copied");
    EXPECT_EQ(U8(text.bstrVal), "copied");
    VariantClear(&text);
}

TEST_F(LayerTest, OmittedArgumentTakesNoValue)
{
    ASSERT_EQ(CallMethod(object_, u"Load(%m,%d)", 7), S_OK);
    const RecordedCall call = LastCall();
    ASSERT_EQ(call.args.size(), 2u);
    EXPECT_EQ(call.args[0].vt, VT_I4);
    EXPECT_EQ(call.args[0].lVal, 7);
    EXPECT_EQ(call.args[1].vt, VT_ERROR);
    EXPECT_EQ(call.args[1].scode, DISP_E_PARAMNOTFOUND);
}

}  // namespace
