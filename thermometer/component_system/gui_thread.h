// Handing work to the GUI thread (the thread of the application object)
// from any other thread. Everything passes through one mailbox guarded by a
// mutex, so the hand-over is plain to see for ThreadSanitizer as well.
#pragma once

#include <functional>

class QObject;

// Queues work for the GUI thread and returns at once. With a context, the
// work is dropped if the context object is gone by then. False when there
// is no application object.
bool PostToGuiThread(QObject* context, std::function<void()> work);

// Runs work on the GUI thread and waits for it; on the GUI thread itself it
// runs at once. False (and nothing run) without an application object.
bool RunOnGuiThread(const std::function<void()>& work);
