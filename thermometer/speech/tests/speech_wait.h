// Helpers of the engine tests: callback recording on the main thread.
#pragma once

#include <QCoreApplication>
#include <QThread>
#include <QtTest/QTest>
#include <mutex>
#include <vector>

// Generous: a guard against a hang, not a timing check.
constexpr int kPatienceMs = 60000;

struct CallbackLog {
  int starts = 0;
  int ends = 0;
  std::vector<int32_t> words;
  bool offMainThread = false;
};

inline CallbackLog& Log() {
  static CallbackLog log;
  return log;
}

inline void NoteThread() {
  if (QThread::currentThread() != QCoreApplication::instance()->thread())
    Log().offMainThread = true;
}

inline int32_t RecordStart() {
  NoteThread();
  ++Log().starts;
  return 0;
}
inline int32_t RecordEnd() {
  NoteThread();
  ++Log().ends;
  return 0;
}
inline int32_t RecordWord(int32_t position) {
  NoteThread();
  Log().words.push_back(position);
  return 0;
}

template <typename Predicate>
bool WaitUntil(Predicate predicate) {
  return QTest::qWaitFor(predicate, kPatienceMs);
}
