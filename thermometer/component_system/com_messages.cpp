// The system's message texts for the codes the component system and the
// automation layer report, in the users' language (Russian, as a Russian
// Windows words them), line end included.
#include "com.h"

namespace {

struct MessageText {
    HRESULT code;
    const char16_t* text;
};

constexpr MessageText kMessages[] = {
    {E_NOTIMPL, u"Не реализовано\r\n"},
    {E_NOINTERFACE, u"Интерфейс не поддерживается\r\n"},
    {E_POINTER, u"Недопустимый указатель\r\n"},
    {E_FAIL, u"Неопознанная ошибка\r\n"},
    {E_OUTOFMEMORY, u"Недостаточно ресурсов памяти для завершения операции.\r\n"},
    {E_INVALIDARG, u"Параметр задан неверно.\r\n"},
    {DISP_E_MEMBERNOTFOUND, u"Член группы не найден.\r\n"},
    {DISP_E_PARAMNOTFOUND, u"Параметр не найден.\r\n"},
    {DISP_E_TYPEMISMATCH, u"Несоответствие типов.\r\n"},
    {DISP_E_UNKNOWNNAME, u"Неизвестное имя.\r\n"},
    {DISP_E_BADVARTYPE, u"Недопустимый тип переменной.\r\n"},
    {DISP_E_EXCEPTION, u"Исключение.\r\n"},
    {DISP_E_OVERFLOW, u"Выход за пределы допустимого диапазона.\r\n"},
    {DISP_E_BADPARAMCOUNT, u"Недопустимое число параметров.\r\n"},
    {REGDB_E_CLASSNOTREG, u"Класс не зарегистрирован\r\n"},
    {MK_E_UNAVAILABLE, u"Операция недоступна\r\n"},
    {CO_E_NOTINITIALIZED, u"Не был вызван CoInitialize.\r\n"},
    {CO_E_CLASSSTRING, u"Недопустимая строка класса\r\n"},
};

}  // namespace

std::u16string SystemMessageText(HRESULT code)
{
    for (const MessageText& m : kMessages)
        if (m.code == code)
            return m.text;
    return {};
}
