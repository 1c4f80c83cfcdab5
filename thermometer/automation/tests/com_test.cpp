// The component system under the layer: strings, variants, identifiers,
// the class registry and dates.
#include "automation_internal.h"
#include "com_registry.h"
#include "test_object.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::string U8(BSTR s) { return Utf16ToUtf8(std::u16string_view(s ? s : u"", SysStringLen(s))); }

TEST(ComStrings, LengthPrefixedStrings)
{
    BSTR s = SysAllocString(u"abc");
    EXPECT_EQ(SysStringLen(s), 3u);
    EXPECT_EQ(SysStringByteLen(s), 6u);
    EXPECT_EQ(s[3], u'\0');
    SysFreeString(s);
    BSTR withZero = SysAllocStringLen(u"a\0b", 3);
    EXPECT_EQ(SysStringLen(withZero), 3u);
    SysFreeString(withZero);
    BSTR bytes = SysAllocStringByteLen("xyz", 3);
    EXPECT_EQ(SysStringByteLen(bytes), 3u);
    EXPECT_STREQ(reinterpret_cast<char*>(bytes), "xyz");
    SysFreeString(bytes);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
}

TEST(ComStrings, Utf8ConversionReplacesBadSequences)
{
    EXPECT_EQ(Utf8ToUtf16("Ж°C"), u"Ж°C");
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), u"\U0001F600");
    EXPECT_EQ(Utf8ToUtf16("a\xFF"
                          "b"),
              u"a\uFFFDb");
    EXPECT_EQ(Utf8ToUtf16("\xC0\x80"), u"\uFFFD\uFFFD");  // overlong zero
    EXPECT_EQ(Utf8ToUtf16("\xE2\x82"), u"\uFFFD\uFFFD");  // cut short
    // Bytes that start no character, overlong forms, surrogates and values
    // past U+10FFFF: every byte of them becomes U+FFFD.
    for (std::string_view bad : {"\xF8\x80\x80", "\xF5\x80\x80\x80", "\xFF\xBF", "\xE0\x80\x80",
                                 "\xF0\x80\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80"})
        EXPECT_EQ(Utf8ToUtf16(bad), std::u16string(bad.size(), u'\uFFFD')) << testing::PrintToString(bad);
    EXPECT_EQ(Utf8ToUtf16("\xE0\xA0\x80\xED\x9F\xBF\xF4\x8F\xBF\xBF"), u"\u0800\uD7FF\U0010FFFF");
    EXPECT_EQ(Utf16ToUtf8(u"\U0001F600Ж"), "\xF0\x9F\x98\x80Ж");
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");  // lone surrogate
}

TEST(ComVariants, NumbersConvertWithRangeChecks)
{
    VARIANT v;
    v.vt = VT_R8;
    v.dblVal = 3.5;
    VARIANT out;
    VariantInit(&out);
    ASSERT_EQ(VariantChangeType(&out, &v, 0, VT_I2), S_OK);
    EXPECT_EQ(out.iVal, 4);  // half to even
    v.dblVal = 1e10;
    EXPECT_EQ(VariantChangeType(&out, &v, 0, VT_I4), DISP_E_OVERFLOW);
    EXPECT_EQ(out.vt, VT_I2);  // unchanged on failure
    v.dblVal = -1;
    EXPECT_EQ(VariantChangeType(&out, &v, 0, VT_UI4), DISP_E_OVERFLOW);
}

TEST(ComVariants, BooleansAndText)
{
    VARIANT flag;
    flag.vt = VT_BOOL;
    flag.boolVal = VARIANT_TRUE;
    VARIANT text;
    VariantInit(&text);
    ASSERT_EQ(VariantChangeType(&text, &flag, 0, VT_BSTR), S_OK);
    EXPECT_EQ(U8(text.bstrVal), "-1");
    ASSERT_EQ(VariantChangeType(&text, &flag, VARIANT_LOCALBOOL, VT_BSTR), S_OK);
    EXPECT_EQ(U8(text.bstrVal), "True");
    VARIANT back;
    VariantInit(&back);
    ASSERT_EQ(VariantChangeType(&back, &text, 0, VT_BOOL), S_OK);
    EXPECT_EQ(back.boolVal, VARIANT_TRUE);
    VariantClear(&text);
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(u" 12 ");
    ASSERT_EQ(VariantChangeType(&text, &text, 0, VT_I4), S_OK);  // in place frees the string
    EXPECT_EQ(text.lVal, 12);
    VARIANT word;
    word.vt = VT_BSTR;
    word.bstrVal = SysAllocString(u"twelve");
    EXPECT_EQ(VariantChangeType(&back, &word, 0, VT_I4), DISP_E_TYPEMISMATCH);
    VariantClear(&word);
}

TEST(ComVariants, ObjectsOnlyBetweenInterfaceTypes)
{
    RegisterTestObject();
    CoInitialize(nullptr);
    void* object = nullptr;
    ASSERT_EQ(CoCreateInstance(kTestObjectClsid, nullptr, CLSCTX_SERVER, IID_IDispatch, &object), S_OK);
    VARIANT v;
    v.vt = VT_DISPATCH;
    v.pdispVal = static_cast<IDispatch*>(object);
    VARIANT out;
    VariantInit(&out);
    EXPECT_EQ(VariantChangeType(&out, &v, 0, VT_I4), DISP_E_TYPEMISMATCH);
    ASSERT_EQ(VariantChangeType(&out, &v, 0, VT_UNKNOWN), S_OK);
    EXPECT_EQ(TestObject::LiveObjects(), 1u);
    VariantClear(&out);
    VariantClear(&v);
    EXPECT_EQ(TestObject::LiveObjects(), 0u);
    CoUninitialize();
}

TEST(ComIdentifiers, ClassTextRoundTrip)
{
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromString(kTestObjectClsidText, &clsid), S_OK);
    EXPECT_EQ(clsid, kTestObjectClsid);
    EXPECT_EQ(StringFromCLSID(clsid), kTestObjectClsidText);
    for (const char16_t* bad : {u"", u"{}", u"1D2C3B4A-5F6E-7A8B-9C0D-1E2F3A4B5C6D",
                                u"{1D2C3B4A-5F6E-7A8B-9C0D-1E2F3A4B5C6G}", u"{1D2C3B4A_5F6E-7A8B-9C0D-1E2F3A4B5C6D}"})
        EXPECT_EQ(CLSIDFromString(bad, &clsid), CO_E_CLASSSTRING) << Utf16ToUtf8(bad);
}

TEST(ComRegistry, ProgIdAndClassAreTakenOnce)
{
    RegisterTestObject();
    auto* factory = new DispatchClassFactory<TestObject>();
    EXPECT_EQ(RegisterComponentClass(u"BENCH.TESTOBJECT", CLSID{1, 2, 3, {}}, factory), E_INVALIDARG);
    EXPECT_EQ(RegisterComponentClass(u"Other", kTestObjectClsid, factory), E_INVALIDARG);
    const CLSID other{7, 7, 7, {7}};
    ASSERT_EQ(RegisterComponentClass(u"Bench.Other", other, factory), S_OK);
    CLSID found{};
    ASSERT_EQ(CLSIDFromProgID(u"bench.other", &found), S_OK);
    EXPECT_EQ(found, other);
    EXPECT_EQ(RevokeComponentClass(other), S_OK);
    EXPECT_EQ(CLSIDFromProgID(u"Bench.Other", &found), CO_E_CLASSSTRING);
    EXPECT_EQ(RevokeComponentClass(other), REGDB_E_CLASSNOTREG);
    factory->Release();
}

TEST(ComMessages, KnownAndUnknownCodes)
{
    EXPECT_EQ(SystemMessageText(CO_E_CLASSSTRING), u"Недопустимая строка класса\r\n");
    EXPECT_EQ(SystemMessageText(REGDB_E_CLASSNOTREG), u"Класс не зарегистрирован\r\n");
    EXPECT_EQ(SystemMessageText(DISP_E_UNKNOWNNAME), u"Неизвестное имя.\r\n");
    EXPECT_EQ(SystemMessageText(DISP_E_TYPEMISMATCH), u"Несоответствие типов.\r\n");
    EXPECT_TRUE(SystemMessageText(Code(0x80049999)).empty());
}

TEST(ComDates, CalendarRoundTrips)
{
    for (const SYSTEMTIME& t : {SYSTEMTIME{100, 1, 0, 1, 0, 0, 0, 0}, SYSTEMTIME{1899, 12, 0, 29, 18, 30, 0, 0},
                                SYSTEMTIME{2000, 2, 0, 29, 23, 59, 59, 999}, SYSTEMTIME{9999, 12, 0, 31, 23, 59, 59, 0}}) {
        DATE date = 0;
        ASSERT_TRUE(SystemTimeToDate(t, &date));
        SYSTEMTIME back{};
        ASSERT_TRUE(DateToSystemTime(date, &back));
        EXPECT_EQ(back.wYear, t.wYear);
        EXPECT_EQ(back.wMonth, t.wMonth);
        EXPECT_EQ(back.wDay, t.wDay);
        EXPECT_EQ(back.wHour, t.wHour);
        EXPECT_EQ(back.wMinute, t.wMinute);
        EXPECT_EQ(back.wSecond, t.wSecond);
        EXPECT_EQ(back.wMilliseconds, t.wMilliseconds);
    }
    SYSTEMTIME t{};
    EXPECT_FALSE(DateToSystemTime(std::nan(""), &t));
    EXPECT_FALSE(DateToSystemTime(-700000, &t));
    EXPECT_FALSE(DateToSystemTime(3e6, &t));
}

}  // namespace
