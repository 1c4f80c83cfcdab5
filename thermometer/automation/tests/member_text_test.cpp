// Member texts: paths, names, the property-put form and the limits.
#include "layer_fixture.h"

#include <string>

namespace {

std::u16string Padded(const char16_t* text, std::size_t length)
{
    std::u16string s = text;
    s.resize(length, u' ');
    return s;
}

TEST_F(LayerTest, PathReadsEachSegmentAsAnObjectThenCallsTheLast)
{
    ASSERT_EQ(CallMethod(object_, u"Characters.Load(%T)", u"Genie"), S_OK);
    const std::vector<RecordedCall> calls = TestLog().Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(U8(calls[0].name), "Characters");
    EXPECT_EQ(calls[0].kind, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
    EXPECT_TRUE(calls[0].args.empty());
    EXPECT_TRUE(calls[0].wantedResult);
    EXPECT_EQ(U8(calls[1].name), "Load");
    EXPECT_EQ(calls[1].kind, DISPATCH_METHOD);
    EXPECT_FALSE(calls[1].wantedResult);
    ASSERT_EQ(calls[1].args.size(), 1u);
    EXPECT_EQ(calls[1].args[0].vt, VT_BSTR);
    EXPECT_EQ(U8(calls[1].args[0].bstrVal), "Genie");
    // The sub-object is gone again; the caller's object was not consumed.
    EXPECT_EQ(TestObject::LiveObjects(), 1u);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(LayerTest, LeadingDotAndSingleByteStringsWalkTheSamePath)
{
    AutomationInit(0, 0);
    ASSERT_EQ(CallMethod(object_, u".Characters.Load(%T)", "Джинн"), S_OK);
    const RecordedCall call = LastCall();
    EXPECT_EQ(U8(call.name), "Load");
    ASSERT_EQ(call.args.size(), 1u);
    EXPECT_EQ(U8(call.args[0].bstrVal), "Джинн");
}

TEST_F(LayerTest, ObjectResultOfACallWithAnArgument)
{
    IDispatch* character = nullptr;
    ASSERT_EQ(GetValue(u"%o", &character, object_, u"Characters(%T)", u"Genie"), S_OK);
    ASSERT_NE(character, nullptr);
    EXPECT_NE(character, object_);
    const RecordedCall call = LastCall();
    EXPECT_EQ(U8(call.name), "Characters");
    EXPECT_EQ(call.kind, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
    ASSERT_EQ(call.args.size(), 1u);
    EXPECT_EQ(U8(call.args[0].bstrVal), "Genie");
    EXPECT_EQ(TestObject::LiveObjects(), 2u);
    character->Release();
    EXPECT_EQ(TestObject::LiveObjects(), 1u);
}

TEST_F(LayerTest, PropertyPutCarriesTheNamedArgument)
{
    ASSERT_EQ(PutValue(object_, u"Connected = %b", 1), S_OK);
    RecordedCall call = LastCall();
    EXPECT_EQ(U8(call.name), "Connected");
    EXPECT_EQ(call.kind, DISPATCH_PROPERTYPUT);
    EXPECT_FALSE(call.wantedResult);
    ASSERT_EQ(call.named.size(), 1u);
    EXPECT_EQ(call.named[0], DISPID_PROPERTYPUT);
    ASSERT_EQ(call.args.size(), 1u);
    EXPECT_EQ(call.args[0].vt, VT_BOOL);
    EXPECT_EQ(call.args[0].boolVal, VARIANT_TRUE);

    ASSERT_EQ(PutRef(object_, u"Connected=%o", object_), S_OK);
    call = LastCall();
    EXPECT_EQ(call.kind, DISPATCH_PROPERTYPUTREF);
    ASSERT_EQ(call.named.size(), 1u);
    EXPECT_EQ(call.named[0], DISPID_PROPERTYPUT);

    ASSERT_EQ(CallMethod(object_, u"Load(%d)", 1), S_OK);
    EXPECT_TRUE(LastCall().named.empty());
}

TEST_F(LayerTest, BooleanLetterGivesAllBitsOrNone)
{
    ASSERT_EQ(CallMethod(object_, u"Load(%b)", 0), S_OK);
    EXPECT_EQ(LastArgument().vt, VT_BOOL);
    EXPECT_EQ(LastArgument().boolVal, 0);
    ASSERT_EQ(CallMethod(object_, u"Load(%b)", 5), S_OK);
    EXPECT_EQ(LastArgument().boolVal, -1);
}

TEST_F(LayerTest, MemberTextOf512UnitsIsRefusedBeforeAnyCall)
{
    const std::u16string longest = Padded(u"Load(%d)", 511);
    ASSERT_EQ(CallMethod(object_, longest.c_str(), 1), S_OK);
    EXPECT_EQ(CallCount(), 1u);

    TestLog().Clear();
    const std::u16string tooLong = Padded(u"Load(%d)", 512);
    EXPECT_EQ(CallMethod(object_, tooLong.c_str(), 1), E_INVALIDARG);
    EXPECT_TRUE(TestLog().lookups.empty());
    EXPECT_EQ(CallCount(), 0u);
    const AutomationErrorRecord* record = GetAutomationErrorRecord();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(U8(record->errorIn), "InvokeV");
    EXPECT_EQ(U8(record->function), "CallMethod");
    // The member shown is cut to 255 units.
    EXPECT_EQ(Utf16Length(record->memberText), 255u);
}

TEST_F(LayerTest, TwelveSpecifiersAreAcceptedThirteenRefused)
{
    ASSERT_EQ(CallMethod(object_, u"Load(%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d)", 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12),
              S_OK);
    const RecordedCall call = LastCall();
    ASSERT_EQ(call.args.size(), 12u);
    // Last argument first, as the dispatch interface expects.
    EXPECT_EQ(call.args[0].lVal, 12);
    EXPECT_EQ(call.args[11].lVal, 1);

    TestLog().Clear();
    EXPECT_EQ(CallMethod(object_, u"Load(%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d)", 1, 2, 3, 4, 5, 6, 7, 8, 9, 10,
                         11, 12, 13),
              E_INVALIDARG);
    EXPECT_EQ(CallCount(), 0u);
    EXPECT_EQ(U8(GetAutomationErrorRecord()->errorIn), "CreateArgumentArray");
}

TEST_F(LayerTest, TwelveStringsAreFreedWhenTheThirteenthFails)
{
    // Run under ASan: the strings made for the first twelve must be freed.
    EXPECT_EQ(CallMethod(object_, u"Load(%S%S%S%S%S%S%S%S%S%S%S%S%S)", u"a", u"b", u"c", u"d", u"e", u"f", u"g",
                         u"h", u"i", u"j", u"k", u"l", u"m"),
              E_INVALIDARG);
    EXPECT_EQ(CallCount(), 0u);
}

TEST_F(LayerTest, UnknownOrMissingLetterIsRefused)
{
    EXPECT_EQ(CallMethod(object_, u"Load(%x)", 1), E_INVALIDARG);
    EXPECT_EQ(CallMethod(object_, u"Load(%"), E_INVALIDARG);
    EXPECT_EQ(CallMethod(object_, u"Load(%d,%q)", 1, 2), E_INVALIDARG);
    EXPECT_EQ(CallCount(), 0u);
}

TEST_F(LayerTest, MissingObjectOrMemberIsRefused)
{
    EXPECT_EQ(CallMethod(nullptr, u"Load"), E_INVALIDARG);
    EXPECT_EQ(CallMethod(object_, nullptr), E_INVALIDARG);
    EXPECT_EQ(InvokeArray(DISPATCH_METHOD, nullptr, 1, object_, u"Load", nullptr), E_INVALIDARG);
    EXPECT_EQ(CallCount(), 0u);
}

TEST_F(LayerTest, SegmentThatGivesNoObjectFailsWithNoInterface)
{
    EXPECT_EQ(CallMethod(object_, u"Nothing.Load"), E_NOINTERFACE);
    EXPECT_EQ(CallCount(), 1u);
    EXPECT_EQ(U8(GetAutomationErrorRecord()->errorIn), "TraverseSubObjects");
}

TEST_F(LayerTest, InvokeArrayTakesAReadyArray)
{
    VARIANT args[2];
    args[0].vt = VT_I4;
    args[0].lVal = 2;
    args[1].vt = VT_I4;
    args[1].lVal = 1;
    VARIANT result;
    ASSERT_EQ(InvokeArray(DISPATCH_METHOD | DISPATCH_PROPERTYGET, &result, 2, object_, u"Echo", args), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 1);
    EXPECT_EQ(LastCall().args.size(), 2u);
}

TEST_F(LayerTest, InvokeConvertsToTheWantedType)
{
    VARIANT result;
    ASSERT_EQ(Invoke(DISPATCH_METHOD | DISPATCH_PROPERTYGET, VT_BSTR, &result, object_, u"Echo(%d)", 42), S_OK);
    EXPECT_EQ(result.vt, VT_BSTR);
    EXPECT_EQ(U8(result.bstrVal), "42");
    VariantClear(&result);
    ASSERT_EQ(Invoke(DISPATCH_METHOD | DISPATCH_PROPERTYGET, VT_EMPTY, &result, object_, u"Echo(%d)", 42), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(Invoke(DISPATCH_METHOD | DISPATCH_PROPERTYGET, VT_I4, &result, object_, u"Echo(%S)", u"x"),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(result.vt, VT_EMPTY);
}

}  // namespace
