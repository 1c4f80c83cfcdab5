// Creating and finding objects through the layer.
#include "com_registry.h"
#include "layer_fixture.h"

namespace {

TEST_F(LayerTest, MissingComponentGivesTheExampleBox)
{
    IDispatch* agent = reinterpret_cast<IDispatch*>(0x1);
    EXPECT_EQ(CreateObject(u"Agent.Control.1", nullptr, &agent), CO_E_CLASSSTRING);
    EXPECT_EQ(agent, nullptr);
    const std::vector<std::string> boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0],
              "Ошибка|Member:\t  Agent.Control.1\r\n"
              "Function:\t  CreateObject\t\t\r\n"
              "Error In:\t  CreateObjectEx\r\n"
              "Error:\t  Недопустимая строка класса\r\n"
              "Code:\t  800401f3\r\n"
              "Source:\t  Application");
}

TEST_F(LayerTest, CreateByClassText)
{
    IDispatch* object = nullptr;
    ASSERT_EQ(CreateObject(kTestObjectClsidText, nullptr, &object), S_OK);
    SafeRelease(object);
    ASSERT_EQ(CreateObject(u"{1d2c3b4a-5f6e-7a8b-9c0d-1e2f3a4b5c6d}", nullptr, &object), S_OK);
    SafeRelease(object);
    ASSERT_EQ(CreateObject(u"bench.testobject", nullptr, &object), S_OK);  // ProgIDs ignore case
    SafeRelease(object);
    EXPECT_TRUE(Boxes().empty());

    EXPECT_EQ(CreateObject(u"{1D2C3B4A-5F6E-7A8B-9C0D-1E2F3A4B5C6}", nullptr, &object), CO_E_CLASSSTRING);
    EXPECT_EQ(CreateObject(u"{00000000-0000-0000-0000-000000000009}", nullptr, &object), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(U8(GetAutomationErrorRecord()->description), "Класс не зарегистрирован");
}

TEST_F(LayerTest, RemoteMachineIsNotServed)
{
    IDispatch* object = nullptr;
    EXPECT_EQ(CreateObject(kTestObjectProgId, u"bench-pc", &object), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);
}

TEST_F(LayerTest, CreatingNeedsTheComponentSystemStarted)
{
    AutomationShutdown(1);
    AutomationInit(0, 1);
    IDispatch* object = nullptr;
    EXPECT_EQ(CreateObject(kTestObjectProgId, nullptr, &object), CO_E_NOTINITIALIZED);
    EXPECT_EQ(U8(GetAutomationErrorRecord()->description), "Не был вызван CoInitialize.");
    AutomationInit(1, 1);
    EXPECT_EQ(CreateObject(kTestObjectProgId, nullptr, &object), S_OK);
    SafeRelease(object);
}

TEST_F(LayerTest, RunningObjectsByClassAndByName)
{
    std::uint32_t cookie = 0;
    ASSERT_EQ(RegisterActiveObject(object_, kTestObjectClsid, &cookie), S_OK);
    IDispatch* found = nullptr;
    ASSERT_EQ(GetObject(nullptr, kTestObjectProgId, &found), S_OK);
    EXPECT_EQ(found, object_);
    SafeRelease(found);
    ASSERT_EQ(RevokeActiveObject(cookie), S_OK);
    EXPECT_EQ(GetObject(nullptr, kTestObjectProgId, &found), MK_E_UNAVAILABLE);
    EXPECT_EQ(U8(GetAutomationErrorRecord()->function), "GetObject");
    EXPECT_EQ(U8(GetAutomationErrorRecord()->errorIn), "GetObjectEx");

    ASSERT_EQ(RegisterRunningName(object_, u"/srv/bench/run.dat", &cookie), S_OK);
    ASSERT_EQ(GetObject(u"/srv/bench/run.dat", nullptr, &found), S_OK);
    EXPECT_EQ(found, object_);
    SafeRelease(found);
    ASSERT_EQ(RevokeActiveObject(cookie), S_OK);
    EXPECT_EQ(TestObject::LiveObjects(), 1u);
}

TEST_F(LayerTest, GetObjectRefusesBadArguments)
{
    void* found = nullptr;
    int reserved = 0;
    EXPECT_EQ(GetObjectEx(nullptr, kTestObjectProgId, IID_IDispatch, 5, &reserved, &found), E_INVALIDARG);
    EXPECT_EQ(GetObjectEx(nullptr, nullptr, IID_IDispatch, 5, nullptr, &found), E_INVALIDARG);
    // A class that cannot load files.
    EXPECT_EQ(GetObjectEx(u"/srv/x.dat", kTestObjectProgId, IID_IDispatch, 5, nullptr, &found), E_NOINTERFACE);
}

}  // namespace

namespace {

TEST_F(LayerTest, EnumerationHandsOutItemsThenFalse)
{
    IEnumVARIANT* items = nullptr;
    ASSERT_EQ(EnumBegin(&items, object_), S_OK);
    ASSERT_NE(items, nullptr);
    VARIANT item;
    ASSERT_EQ(EnumNextVariant(items, &item), S_OK);
    EXPECT_EQ(item.vt, VT_I4);
    EXPECT_EQ(item.lVal, 7);
    IDispatch* object = nullptr;
    ASSERT_EQ(EnumNextObject(items, &object), S_OK);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(TestObject::LiveObjects(), 2u);
    SafeRelease(object);
    // A string is not an object.
    EXPECT_EQ(EnumNextObject(items, &object), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(U8(GetAutomationErrorRecord()->function), "EnumNextObject");
    EXPECT_EQ(EnumNextObject(items, &object), S_FALSE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(EnumNextVariant(items, &item), S_FALSE);
    EXPECT_EQ(item.vt, VT_EMPTY);
    items->Release();
    EXPECT_EQ(TestObject::LiveObjects(), 1u);
}

TEST_F(LayerTest, EnumerationOfANonCollectionFails)
{
    IEnumVARIANT* items = nullptr;
    EXPECT_EQ(EnumBegin(&items, nullptr), E_INVALIDARG);
    EXPECT_EQ(EnumNextVariant(nullptr, nullptr), E_INVALIDARG);
}

}  // namespace
