// A text field that takes in decimal digits only, and only while it then
// holds no more than a given number of characters, whichever way the text
// comes: typed, pasted, middle-clicked or dropped. Text set by the program
// (setText) is shown whole, whatever it is.
#pragma once

#include <QLineEdit>
#include <QValidator>

class DigitField : public QLineEdit {
    Q_OBJECT
public:
    DigitField(int typedLimit, QWidget* parent);

    // Hides QLineEdit::setText: text from the program is not checked.
    void setText(const QString& text);

private:
    // Every change of the text passes here before it is kept; a change the
    // user makes is refused unless what it brings in is digits and the result
    // fits the limit. Removing characters is always allowed.
    class Validator final : public QValidator {
    public:
        explicit Validator(DigitField* field) : QValidator(field), field_(field) {}
        State validate(QString& input, int& pos) const override;

    private:
        DigitField* field_;
    };

    int typedLimit_;
    QString lastText_;  // the text as it was before the change being validated
    bool settingText_ = false;
};
