#include "platform/window/responsive_call.h"

#include <QEventLoop>
#include <QMetaObject>
#include <thread>

namespace qorval::ui {

void RunKeepingWindowsAlive(const std::function<void()>& call) {
    QEventLoop loop;
    std::thread worker([&] {
        call();
        // Posted to this thread's queue: handled inside exec below even when the call ends
        // before exec has begun.
        QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
}

}  // namespace qorval::ui
