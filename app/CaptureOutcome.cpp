#include "app/CaptureOutcome.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace lumivane {

void CaptureWaiters::finish(const CaptureOutcome& outcome) {
    const std::vector<CaptureCompletion> waiting = std::move(waiting_);
    waiting_.clear();
    for (const CaptureCompletion& done : waiting)
        done(outcome);
}

CaptureWaiters::~CaptureWaiters() {
    if (waiting_.empty() || !QCoreApplication::instance())
        return;
    // The last holder may be a continuation released on a worker thread.
    QMetaObject::invokeMethod(QCoreApplication::instance(), [waiting = std::move(waiting_)] {
        for (const CaptureCompletion& done : waiting)
            done(CaptureOutcome::cancelled());
    });
}

} // namespace lumivane
