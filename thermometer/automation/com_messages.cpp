// The system's message texts for the codes the component system and the
// automation layer report (the wording Windows uses, line end included).
#include "com.h"

namespace {

struct MessageText {
    HRESULT code;
    const char16_t* text;
};

constexpr MessageText kMessages[] = {
    {E_NOTIMPL, u"Not implemented\r\n"},
    {E_NOINTERFACE, u"No such interface supported\r\n"},
    {E_POINTER, u"Invalid pointer\r\n"},
    {E_FAIL, u"Unspecified error\r\n"},
    {E_OUTOFMEMORY, u"Not enough memory resources are available to complete this operation.\r\n"},
    {E_INVALIDARG, u"The parameter is incorrect.\r\n"},
    {DISP_E_MEMBERNOTFOUND, u"Member not found.\r\n"},
    {DISP_E_PARAMNOTFOUND, u"Parameter not found.\r\n"},
    {DISP_E_TYPEMISMATCH, u"Type mismatch.\r\n"},
    {DISP_E_UNKNOWNNAME, u"Unknown name.\r\n"},
    {DISP_E_BADVARTYPE, u"Bad variable type.\r\n"},
    {DISP_E_EXCEPTION, u"Exception occurred.\r\n"},
    {DISP_E_OVERFLOW, u"Out of present range.\r\n"},
    {DISP_E_BADPARAMCOUNT, u"Invalid number of parameters.\r\n"},
    {REGDB_E_CLASSNOTREG, u"Class not registered\r\n"},
    {MK_E_UNAVAILABLE, u"Operation unavailable\r\n"},
    {CO_E_NOTINITIALIZED, u"CoInitialize has not been called.\r\n"},
    {CO_E_CLASSSTRING, u"Invalid class string\r\n"},
};

}  // namespace

std::u16string SystemMessageText(HRESULT code)
{
    for (const MessageText& m : kMessages)
        if (m.code == code)
            return m.text;
    return {};
}
