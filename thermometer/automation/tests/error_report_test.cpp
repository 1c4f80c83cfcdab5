// The error record, its report texts, the modes and the threads.
#include "layer_fixture.h"

#include <atomic>
#include <latch>
#include <thread>

namespace {

std::string TextReport()
{
    char16_t buffer[1024];
    GetAutomationErrorText(buffer, 1024);
    return U8(buffer);
}

TEST_F(LayerTest, InnerFailureIsReportedOnceAtTheOutermostExit)
{
    EXPECT_EQ(CallMethod(object_, u"Characters.Missing(%d)", 4), DISP_E_UNKNOWNNAME);
    const std::vector<std::string> boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0],
              "Ошибка|Member:\t  Characters.Missing(%d)\r\n"
              "Function:\t  CallMethod\t\t\r\n"
              "Error In:\t  InvokeArray\r\n"
              "Error:\t  Object doesn't support this property or method: 'Missing'\r\n"
              "Code:\t  80020006\r\n"
              "Source:\t  IDispatch Interface");
    EXPECT_EQ(TextReport(),
              "Member:   Characters.Missing(%d)\r\n"
              "Function: CallMethod\r\n"
              "Error In: InvokeArray\r\n"
              "Error:    Object doesn't support this property or method: 'Missing'\r\n"
              "Code:     80020006\r\n"
              "Source:   IDispatch Interface");
    const AutomationErrorRecord* record = GetAutomationErrorRecord();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->result, DISP_E_UNKNOWNNAME);
    EXPECT_EQ(U8(record->memberName), "Missing");
    EXPECT_EQ(record->fromInvoke, 1);
    EXPECT_EQ(record->complete, 1);
}

TEST_F(LayerTest, NextFailureReplacesACompleteRecord)
{
    EXPECT_EQ(CallMethod(object_, u"First"), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(CallMethod(object_, u"Load"), S_OK);
    EXPECT_EQ(U8(GetAutomationErrorRecord()->memberText), "First");  // success leaves it
    EXPECT_EQ(PutValue(object_, u"Second = %d", 1), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(U8(GetAutomationErrorRecord()->memberText), "Second = %d");
    EXPECT_EQ(U8(GetAutomationErrorRecord()->function), "PutValue");
    EXPECT_EQ(U8(GetAutomationErrorRecord()->errorIn), "InvokeArray");
    EXPECT_EQ(Boxes().size(), 2u);
}

TEST_F(LayerTest, DescriptionsMadeForCodes)
{
    EXPECT_EQ(CallMethod(object_, u"Return(%d)", E_NOINTERFACE), E_NOINTERFACE);
    EXPECT_EQ(U8(GetAutomationErrorRecord()->description), "Object required");

    EXPECT_EQ(CallMethod(object_, u"Mismatch(%d,%S)", 1, u"abc"), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(U8(GetAutomationErrorRecord()->description), "Type mismatch: 'Mismatch'. Argument Index: 0");

    EXPECT_EQ(CallMethod(object_, u"Return(%d)", DISP_E_MEMBERNOTFOUND), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(U8(GetAutomationErrorRecord()->description),
              "Object doesn't support this property or method: 'Return'");

    // The system's text, without its line end.
    EXPECT_EQ(CallMethod(object_, u"Return(%d)", E_OUTOFMEMORY), E_OUTOFMEMORY);
    EXPECT_EQ(U8(GetAutomationErrorRecord()->description),
              "Недостаточно ресурсов памяти для завершения операции.");

    EXPECT_EQ(CallMethod(object_, u"Return(%d)", Code(0x80049999)), Code(0x80049999));
    EXPECT_EQ(U8(GetAutomationErrorRecord()->description), "Unknown runtime error");
    EXPECT_EQ(U8(GetAutomationErrorRecord()->source), "IDispatch Interface");
}

TEST_F(LayerTest, TypeMismatchOutsideTheInvokeHasTheSystemText)
{
    std::int32_t out = 0;
    EXPECT_EQ(GetValue(u"%d", &out, object_, u"Echo(%S)", u"abc"), DISP_E_TYPEMISMATCH);
    const AutomationErrorRecord* record = GetAutomationErrorRecord();
    EXPECT_EQ(U8(record->errorIn), "InvokeV");
    EXPECT_EQ(U8(record->description), "Несоответствие типов.");
    EXPECT_EQ(U8(record->source), "Application");
}

TEST_F(LayerTest, ExceptionFilledInLaterIsTaken)
{
    EXPECT_EQ(CallMethod(object_, u"Fail"), DISP_E_EXCEPTION);
    const AutomationErrorRecord* record = GetAutomationErrorRecord();
    EXPECT_EQ(U8(record->description), "Deferred description");
    EXPECT_EQ(U8(record->source), "TestSource");
    EXPECT_EQ(record->exceptionCode, Code(0x80041234));
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_NE(Boxes()[0].find("Code:\t  80041234\r\n"), std::string::npos);
}

TEST_F(LayerTest, ExceptionShortCodeComesFirst)
{
    EXPECT_EQ(CallMethod(object_, u"Coded"), DISP_E_EXCEPTION);
    EXPECT_EQ(TextReport(),
              "Member:   Coded\r\n"
              "Function: CallMethod\r\n"
              "Error In: InvokeArray\r\n"
              "Error:    Coded failure\r\n"
              "Code:     3e9\r\n"
              "Source:   CodedSource");
}

TEST_F(LayerTest, NoRecordGivesTheNoInformationText)
{
    EXPECT_EQ(GetAutomationErrorRecord(), nullptr);
    EXPECT_EQ(TextReport(), "No error information available.");
}

TEST_F(LayerTest, ReportTextIsCutToTheBuffer)
{
    EXPECT_EQ(CallMethod(object_, u"Нет"), DISP_E_UNKNOWNNAME);
    char16_t wide[10];
    EXPECT_EQ(GetAutomationErrorText(wide, 10), 9u);
    EXPECT_EQ(U8(wide), "Member:  ");

    // "Member:   " is 10 bytes and "Н" two more: an 11-byte cut would split it.
    char narrow[12];
    EXPECT_EQ(GetAutomationErrorTextA(narrow, 12), 10u);
    EXPECT_STREQ(narrow, "Member:   ");
    char room[13];
    EXPECT_EQ(GetAutomationErrorTextA(room, 13), 12u);
    EXPECT_STREQ(room, "Member:   Н");
}

TEST_F(LayerTest, SingleByteReportStopsAt1024)
{
    const std::u16string longName(400, u'Ж');  // 800 bytes in UTF-8
    EXPECT_EQ(CallMethod(object_, longName.c_str()), DISP_E_UNKNOWNNAME);
    std::vector<char> buffer(4096, 'x');
    const std::uint32_t written = GetAutomationErrorTextA(buffer.data(), 4096);
    EXPECT_LE(written, 1023u);
    EXPECT_EQ(buffer[written], '\0');
    EXPECT_EQ(buffer[1024], 'x');
}

TEST_F(LayerTest, BoxTextIsCutTo511Units)
{
    const std::u16string longText(600, u'a');
    EXPECT_EQ(CallMethod(object_, u"Raise(%S)", longText.c_str()), DISP_E_EXCEPTION);
    ASSERT_EQ(Boxes().size(), 1u);
    const std::u16string text = Utf8ToUtf16(Boxes()[0].substr(Boxes()[0].find('|') + 1));
    EXPECT_EQ(text.size(), 511u);
}

TEST_F(LayerTest, SilentModeRecordsNothing)
{
    AutomationSettings settings{};
    settings.silent = 1;
    settings.showMessages = 1;  // silent wins
    SetAutomationSettings(&settings);
    EXPECT_EQ(CallMethod(object_, u"Missing"), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(GetAutomationErrorRecord(), nullptr);
    EXPECT_TRUE(Boxes().empty());

    SetErrorDisplay(1);  // also ends silent mode
    EXPECT_EQ(CallMethod(object_, u"Missing"), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(Boxes().size(), 1u);
}

std::atomic<int> g_callbacks{0};
std::string g_callbackMember;

void CountCallback(const AutomationErrorRecord* record)
{
    ++g_callbacks;
    g_callbackMember = U8(record->memberText);
    EXPECT_EQ(record->complete, 1);
}

TEST_F(LayerTest, DisplayOffRecordsAndCallsBackWithoutABox)
{
    SetErrorDisplay(0);
    AutomationSettings settings{};
    GetAutomationSettings(&settings);
    settings.errorCallback = CountCallback;
    SetAutomationSettings(&settings);
    g_callbacks = 0;
    EXPECT_EQ(CallMethod(object_, u"Characters.Missing"), DISP_E_UNKNOWNNAME);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(g_callbacks, 1);
    EXPECT_EQ(g_callbackMember, "Characters.Missing");
    ASSERT_NE(GetAutomationErrorRecord(), nullptr);
}

IDispatch* g_failAgainOn = nullptr;
int g_reports = 0;
std::string g_innerRecord;
std::string g_outerRecordAfter;

void FailAgainInside(const AutomationErrorRecord* record)
{
    if (++g_reports > 3)
        return;  // without a guard in the layer this would go on for ever
    EXPECT_EQ(CallMethod(g_failAgainOn, u"AlsoMissing"), DISP_E_UNKNOWNNAME);
    const AutomationErrorRecord* inner = GetAutomationErrorRecord();
    g_innerRecord = inner ? U8(inner->memberText) + "|" + U8(inner->function) : "";
    g_outerRecordAfter = U8(record->memberText) + "|" + U8(record->description);
}

TEST_F(LayerTest, FailureInsideTheErrorCallbackIsRecordedButNotReportedAgain)
{
    AutomationSettings settings{};
    GetAutomationSettings(&settings);
    settings.errorCallback = FailAgainInside;
    SetAutomationSettings(&settings);
    g_failAgainOn = object_;
    g_reports = 0;
    EXPECT_EQ(CallMethod(object_, u"Missing"), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(g_reports, 1);
    EXPECT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(g_innerRecord, "AlsoMissing|CallMethod");
    EXPECT_EQ(g_outerRecordAfter, "Missing|Object doesn't support this property or method: 'Missing'");
    EXPECT_EQ(U8(GetAutomationErrorRecord()->memberText), "Missing");
    // The next failure is reported as usual.
    EXPECT_EQ(CallMethod(object_, u"Other"), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(g_reports, 2);
}

TEST_F(LayerTest, CaptionFromTheSettings)
{
    AutomationSettings settings{};
    GetAutomationSettings(&settings);
    settings.caption = u"Ambrel";
    SetAutomationSettings(&settings);
    EXPECT_EQ(CallMethod(object_, u"Missing"), DISP_E_UNKNOWNNAME);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].substr(0, 7), "Ambrel|");
}

TEST_F(LayerTest, EachThreadHasItsOwnRecord)
{
    std::latch ready(2);
    std::string seen[2];
    std::string function[2];
    auto fail = [&](int i, const char16_t* member) {
        AutomationInit(1, 1);
        IDispatch* object = nullptr;
        CreateObject(kTestObjectProgId, nullptr, &object);
        ready.arrive_and_wait();
        CallMethod(object, member);
        const AutomationErrorRecord* record = GetAutomationErrorRecord();
        seen[i] = record ? U8(record->memberText) : "";
        function[i] = record ? U8(record->function) : "";
        SafeRelease(object);
        AutomationShutdown(1);
        EXPECT_EQ(GetAutomationErrorRecord(), nullptr);
    };
    std::thread a(fail, 0, u"MissingA");
    std::thread b(fail, 1, u"Characters.MissingB");
    a.join();
    b.join();
    EXPECT_EQ(seen[0], "MissingA");
    EXPECT_EQ(seen[1], "Characters.MissingB");
    EXPECT_EQ(function[0], "CallMethod");
    EXPECT_EQ(function[1], "CallMethod");
    EXPECT_EQ(Boxes().size(), 2u);
    // This thread's record saw none of it.
    EXPECT_EQ(GetAutomationErrorRecord(), nullptr);
}

}  // namespace
