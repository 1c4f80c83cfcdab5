#include "agent_stage.h"

#include <QRegularExpression>

QString SpokenEnglish(const QString& text)
{
    static const QRegularExpression degrees(QStringLiteral("(-?\\d+)?\\s*°C"));
    QString spoken;
    qsizetype from = 0;
    for (auto it = degrees.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        spoken += text.mid(from, m.capturedStart() - from);
        const QString number = m.captured(1);
        const bool one = number == "1" || number == "-1";
        spoken += number.isEmpty() ? QStringLiteral("degrees Celsius")
                                   : number + (one ? " degree Celsius" : " degrees Celsius");
        from = m.capturedEnd();
    }
    return spoken + text.mid(from);
}
