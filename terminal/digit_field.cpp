#include "digit_field.h"

DigitField::DigitField(int typedLimit, QWidget* parent) : QLineEdit(parent), typedLimit_(typedLimit)
{
    setValidator(new Validator(this));
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) { lastText_ = text; });
    setContextMenuPolicy(Qt::NoContextMenu);
    setAttribute(Qt::WA_InputMethodEnabled, false);
}

void DigitField::setText(const QString& text)
{
    settingText_ = true;
    QLineEdit::setText(text);
    settingText_ = false;
}

QValidator::State DigitField::Validator::validate(QString& input, int& pos) const
{
    (void)pos;
    const QString& before = field_->lastText_;
    if (field_->settingText_ || input == before)
        return Acceptable;
    // What the change brought in: the part of the new text between what it
    // kept of the old text's start and of its end.
    qsizetype head = 0;
    while (head < input.size() && head < before.size() && input[head] == before[head])
        ++head;
    qsizetype tail = 0;
    while (tail < input.size() - head && tail < before.size() - head &&
           input[input.size() - 1 - tail] == before[before.size() - 1 - tail])
        ++tail;
    const QStringView brought = QStringView(input).mid(head, input.size() - head - tail);
    if (brought.isEmpty())
        return Acceptable;
    for (QChar c : brought) {
        if (c < u'0' || c > u'9')
            return Invalid;
    }
    return input.size() <= field_->typedLimit_ ? Acceptable : Invalid;
}
