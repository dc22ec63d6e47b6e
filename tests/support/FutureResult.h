#pragma once
#include <QCoreApplication>
#include <QEventLoop>
#include <QFuture>

namespace lumivane::test {

// The future's result, delivering this thread's events while it runs.
template <typename T>
T await(QFuture<T> f) {
    while (!f.isFinished())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return f.result();
}

} // namespace lumivane::test
