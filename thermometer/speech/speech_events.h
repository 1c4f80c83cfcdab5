// Delivery of the window's speech callbacks on the main (Qt) thread.
#pragma once

#include <functional>

// Queues `call` to the thread of the QCoreApplication; dropped when there is none.
void RunOnMainThread(std::function<void()> call);
