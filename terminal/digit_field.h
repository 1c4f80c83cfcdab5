// A text field that accepts typed decimal digits only, and only while it
// holds fewer than a given number of characters. Text set by the program is
// shown whole, whatever it is.
#pragma once

#include <QLineEdit>

class DigitField : public QLineEdit {
    Q_OBJECT
public:
    DigitField(int typedLimit, QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void InsertTyped(const QString& text);

    int typedLimit_;
};
