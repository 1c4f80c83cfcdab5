#include "gui_thread.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>

#include <condition_variable>
#include <deque>
#include <mutex>

namespace {

class GuiMailbox : public QObject {
    Q_OBJECT
public:
    void Put(QObject* context, std::function<void()> work)
    {
        std::lock_guard lock(lock_);
        letters_.push_back({context, context != nullptr, std::move(work)});
    }

public slots:
    void Drain()
    {
        for (;;) {
            Letter letter;
            {
                std::lock_guard lock(lock_);
                if (letters_.empty())
                    return;
                letter = std::move(letters_.front());
                letters_.pop_front();
            }
            if (!letter.hadContext || letter.context)
                letter.work();
        }
    }

private:
    struct Letter {
        QPointer<QObject> context;
        bool hadContext = false;
        std::function<void()> work;
    };
    std::mutex lock_;
    std::deque<Letter> letters_;
};

std::mutex g_mailboxLock;
GuiMailbox* g_mailbox = nullptr;

// One mailbox for the process, living on the GUI thread.
GuiMailbox* Mailbox(QCoreApplication* app)
{
    std::lock_guard guard(g_mailboxLock);
    if (!g_mailbox) {
        g_mailbox = new GuiMailbox();
        g_mailbox->moveToThread(app->thread());
    }
    return g_mailbox;
}

// Made while the application object is built, on its thread, so that it is
// there before any other thread can post.
void MakeMailboxEarly() { Mailbox(QCoreApplication::instance()); }
Q_COREAPP_STARTUP_FUNCTION(MakeMailboxEarly)

}  // namespace

bool PostToGuiThread(QObject* context, std::function<void()> work)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return false;
    GuiMailbox* mailbox = Mailbox(app);
    mailbox->Put(context, std::move(work));
    QMetaObject::invokeMethod(mailbox, "Drain", Qt::QueuedConnection);
    return true;
}

bool RunOnGuiThread(const std::function<void()>& work)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return false;
    if (QThread::currentThread() == app->thread()) {
        work();
        return true;
    }
    std::mutex lock;
    std::condition_variable doneSignal;
    bool done = false;
    PostToGuiThread(nullptr, [&] {
        work();
        std::lock_guard guard(lock);
        done = true;
        doneSignal.notify_one();
    });
    std::unique_lock wait(lock);
    doneSignal.wait(wait, [&] { return done; });
    return true;
}

#include "gui_thread.moc"
