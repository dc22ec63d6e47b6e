#include "app/HistoryRecorder.h"
#include "settings/AppSettings.h"

#include <QPointer>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

namespace lumivane {

HistoryRecorder::HistoryRecorder(const AppSettings& settings, QString folder, QObject* parent)
    : QObject(parent), settings_(settings),
      store_(folder.isEmpty() ? nullptr : std::make_shared<HistoryStore>(std::move(folder))) {
    writer_.setMaxThreadCount(1);
    // Encoding a large capture takes a core for a second or more; it yields to the
    // next capture and its preview (SCHED_IDLE on Linux).
    writer_.setThreadPriority(QThread::IdlePriority);
}

HistoryRecorder::~HistoryRecorder() {
    writer_.waitForDone();
}

HistoryLimits HistoryRecorder::limits() const {
    return {settings_.historyMaximumEntries(), qint64(settings_.historyMaximumMegabytes()) << 20};
}

void HistoryRecorder::record(const ImageRef& image) {
    if (!image || !store_ || !settings_.historyEnabled())
        return;
    const HistoryLimits bounds = limits();
    const QDateTime at = QDateTime::currentDateTime();
    QPointer<HistoryRecorder> self(this);
    QtConcurrent::run(&writer_, [store = store_, image, bounds, at]() -> QString {
        EditorDocument document;
        document.baseImage = image;
        QString error;
        return store->add(document, bounds, &error, at) ? QString() : error;
    }).then(this, [self](const QString& error) {
        if (!self)
            return;
        if (!error.isEmpty())
            emit self->failed(QStringLiteral("撮影の履歴を保存できませんでした。\n\n%1").arg(error));
        self->reload();
    });
}

void HistoryRecorder::reload() {
    if (!store_)
        return;
    if (!loaded_) {
        // Once per run: what a writer killed in the middle left behind.
        store_->clean();
        loaded_ = true;
    }
    entries_ = store_->entries();
    emit changed();
}

bool HistoryRecorder::remove(const HistoryEntry& entry) {
    const bool removed = store_ && store_->remove(entry);
    reload();
    return removed;
}

void HistoryRecorder::waitForWrites() {
    writer_.waitForDone();
}

} // namespace lumivane
