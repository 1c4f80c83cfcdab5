#include <QCoreApplication>
#include <QMetaObject>

#include "speech_events.h"

void RunOnMainThread(std::function<void()> call) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  QMetaObject::invokeMethod(app, std::move(call), Qt::QueuedConnection);
}
