#include "window_test_support.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include <cstdio>
#include <unistd.h>

StdoutCapture::StdoutCapture()
{
    std::fflush(stdout);
    char name[] = "/tmp/wirelet-stdout-XXXXXX";
    file_ = ::mkstemp(name);
    ::unlink(name);
    saved_ = ::dup(STDOUT_FILENO);
    ::dup2(file_, STDOUT_FILENO);
}

StdoutCapture::~StdoutCapture() { Take(); }

std::string StdoutCapture::Take()
{
    if (saved_ < 0)
        return {};
    std::fflush(stdout);
    ::dup2(saved_, STDOUT_FILENO);
    ::close(saved_);
    saved_ = -1;
    std::string text;
    char buffer[4096];
    ::lseek(file_, 0, SEEK_SET);
    for (ssize_t n; (n = ::read(file_, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(file_);
    return text;
}

void ClickCheckBox(QCheckBox* box)
{
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    QTest::mouseClick(box, Qt::LeftButton, {}, indicator.center());
}

namespace {

QString Geometry(const QWidget* w)
{
    const QRect r = w->geometry();
    return QStringLiteral("%1,%2,%3,%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

QString Describe(QWidget* w)
{
    if (auto* label = qobject_cast<QLabel*>(w))
        return "label|" + label->text();
    if (auto* group = qobject_cast<QGroupBox*>(w))
        return "group|" + group->title();
    if (auto* check = qobject_cast<QCheckBox*>(w))
        return "check|" + check->text() + (check->isChecked() ? "|on" : "|off");
    if (auto* button = qobject_cast<QPushButton*>(w))
        return "button|" + button->text();
    if (auto* field = qobject_cast<QLineEdit*>(w))
        return QString(field->isReadOnly() ? "readonly|" : "field|") + field->text();
    if (auto* list = qobject_cast<QComboBox*>(w)) {
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->itemText(i);
        return "list|" + items.join(';') + "|" + QString::number(list->currentIndex()) +
               (list->isEditable() ? "|editable" : "");
    }
    return QStringLiteral("other|") + w->metaObject()->className();
}

}  // namespace

QStringList DescribeControls(const QWidget* window)
{
    QStringList lines;
    for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isWindow())
            lines << Describe(child) + "|" + Geometry(child);
    }
    lines.sort();
    return lines;
}

QList<QWidget*> TabWalk(int count, bool forward)
{
    QList<QWidget*> seen;
    for (int i = 0; i < count; ++i) {
        QTest::keyClick(QApplication::focusWidget(), forward ? Qt::Key_Tab : Qt::Key_Backtab);
        seen << QApplication::focusWidget();
    }
    return seen;
}

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}
