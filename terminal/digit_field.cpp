#include "digit_field.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>

DigitField::DigitField(int typedLimit, QWidget* parent) : QLineEdit(parent), typedLimit_(typedLimit)
{
    // Everything that could bring text in other than keys goes through
    // keyPressEvent or is switched off.
    setAcceptDrops(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    setAttribute(Qt::WA_InputMethodEnabled, false);
}

void DigitField::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Paste)) {
        InsertTyped(QGuiApplication::clipboard()->text());
        return;
    }
    const QString typed = event->text();
    if (!typed.isEmpty() && typed.at(0).isPrint()) {
        InsertTyped(typed);
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void DigitField::InsertTyped(const QString& typed)
{
    for (QChar c : typed) {
        if (c < u'0' || c > u'9')
            return;
    }
    const qsizetype kept = text().size() - selectedText().size();
    if (typed.isEmpty() || kept + typed.size() > typedLimit_)
        return;
    insert(typed);
}
