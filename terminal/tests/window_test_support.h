// Helpers shared by the window suites.
#pragma once

#include <QByteArray>
#include <QCheckBox>
#include <QStringList>
#include <QWidget>

#include <string>

// Redirects standard output (where message boxes go without a display)
// into a temporary file until Take() is called.
class StdoutCapture {
public:
    StdoutCapture();
    ~StdoutCapture();
    std::string Take();

private:
    int saved_ = -1;
    int file_ = -1;
};

// Clicks the box itself; a click in the middle of a wide box can miss it.
void ClickCheckBox(QCheckBox* box);

// One line per direct child control: kind, text, read-only state or list
// items, and geometry, sorted.
QStringList DescribeControls(const QWidget* window);

// The widgets that get the focus on Tab (forward) or Shift+Tab, pressed
// count times starting from the current focus widget.
QList<QWidget*> TabWalk(int count, bool forward = true);

QByteArray ReadBytes(const QString& path);
void WriteBytes(const QString& path, const QByteArray& bytes);
