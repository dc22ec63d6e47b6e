#include "ocr/TextRecognitionService.h"
#include "ocr/TextRecognitionEngineModule.h"
#include "ocr/TextRecognitionError.h"

#include <QTimer>
#include <malloc.h>

namespace lumivane::ocr {

// The engine's owner on the worker thread.
class RecognitionWorker : public QObject {
public:
    RecognitionWorker(const TextRecognitionEngineModule& module, std::chrono::milliseconds idleRelease,
                      QString dataFolder)
        : module_(module), idleRelease_(idleRelease), dataFolder_(std::move(dataFolder)) {}

    // Worker thread only.
    TextRecognitionEngine& engine() {
        if (!recognizer_) {
            recognizer_ = module_.createEngine(dataFolder_);
            loaded_ = true;
        }
        return *recognizer_;
    }

    QString recognizeText(const QImage& image, const std::atomic<bool>* cancel) {
        EngineFailure failure;
        QString text;
        if (!engine().recognizeText(image, cancel, &text, &failure))
            throw TextRecognitionError(failure.kind, failure.detail);
        return text;
    }

    const TextRecognitionEngineModule& module_;

    void startIdleTimer(TextRecognitionService* service) {
        if (!idleTimer_) {
            idleTimer_ = new QTimer(this);
            idleTimer_->setSingleShot(true);
            connect(idleTimer_, &QTimer::timeout, this, [this, service] {
                if (!recognizer_)
                    return;
                recognizer_.reset();
                loaded_ = false;
                // The engine's buffers go back to the system, not only to the heap.
                malloc_trim(0);
                QMetaObject::invokeMethod(service, [service] { emit service->engineReleased(); });
            });
        }
        idleTimer_->start(idleRelease_);
    }

    void release() { recognizer_.reset(); }

    std::atomic<bool> loaded_{false};

private:
    std::chrono::milliseconds idleRelease_;
    QString dataFolder_;
    std::unique_ptr<TextRecognitionEngine> recognizer_;
    QTimer* idleTimer_ = nullptr;
};

TextRecognitionService::TextRecognitionService(QObject* parent, std::chrono::milliseconds idleRelease,
                                               QString dataFolder, const TextRecognitionEngineModule* module)
    : QObject(parent), module_(module ? *module : TextRecognitionEngineModule::shared()) {
    qRegisterMetaType<TextRecognitionResult>();
    worker_ = new RecognitionWorker(module_, idleRelease, std::move(dataFolder));
    worker_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, worker_, [worker = worker_] {
        worker->release();
        delete worker;
    });
    thread_.setObjectName(QStringLiteral("lumivane.text-recognition"));
    thread_.start();
}

TextRecognitionService::~TextRecognitionService() {
    for (auto& [id, flag] : running_)
        flag->store(true);
    thread_.quit();
    thread_.wait();
}

bool TextRecognitionService::isAvailable() const {
    return module_.isAvailable();
}

TextRecognitionError TextRecognitionService::missingError() const {
    return module_.missingError();
}

bool TextRecognitionService::isEngineLoaded() const {
    return worker_->loaded_.load();
}

void TextRecognitionService::preload() {
    if (!isAvailable())
        return;
    QMetaObject::invokeMethod(worker_, [worker = worker_, this] {
        try {
            worker->engine();
            worker->startIdleTimer(this);
        } catch (const TextRecognitionError&) {
            // Reported by the next recognition, which tries again.
        }
    });
}

quint64 TextRecognitionService::recognize(const QImage& image, Reading reading) {
    const quint64 id = nextId_++;
    auto flag = std::make_shared<std::atomic<bool>>(false);
    running_[id] = flag;
    QMetaObject::invokeMethod(worker_, [worker = worker_, this, id, flag, image, reading] {
        TextRecognitionResult result;
        QString message;
        bool cancelled = false;
        try {
            if (flag->load())
                throw TextRecognitionError(TextRecognitionError::Kind::cancelled);
            if (reading == Reading::textAndCodes) {
                result.text = worker->recognizeText(image, flag.get());
                if (flag->load())
                    throw TextRecognitionError(TextRecognitionError::Kind::cancelled);
            } else if (!worker->module_.isAvailable()) {
                throw worker->module_.missingError();
            }
            result.codes = worker->module_.readCodes(image);
        } catch (const TextRecognitionError& error) {
            message = error.description();
            cancelled = error.kind() == TextRecognitionError::Kind::cancelled;
        }
        if (reading == Reading::textAndCodes)
            worker->startIdleTimer(this);
        QMetaObject::invokeMethod(this, [this, id, result, message, cancelled] {
            finish(id);
            if (message.isEmpty())
                emit recognized(id, result);
            else
                emit failed(id, message, cancelled);
        });
    });
    return id;
}

void TextRecognitionService::cancel(quint64 id) {
    if (const auto it = running_.find(id); it != running_.end())
        it->second->store(true);
}

void TextRecognitionService::finish(quint64 id) {
    running_.erase(id);
}

} // namespace lumivane::ocr
