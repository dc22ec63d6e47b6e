#pragma once
#include "ocr/TextRecognitionError.h"
#include "ocr/TextRecognitionResult.h"

#include <QImage>
#include <QObject>
#include <QThread>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>

namespace lumivane::ocr {

class RecognitionWorker;
class TextRecognitionEngineModule;

// Quiet time after which the engine (some hundred megabytes) is freed.
inline constexpr std::chrono::milliseconds kEngineIdleRelease{std::chrono::minutes(3)};

// Holds the recognition engine for the tray application: loads it in a worker thread
// ahead of need, reads images there one after another (text and codes), and frees it
// after a quiet time. Lives on the UI thread, which never waits for the engine;
// results arrive as signals on it. Destroying the service cancels what runs. The
// engine comes from the engine module (the program's own unless one is given, which
// must outlive the service); without it every request fails with engineMissing.
class TextRecognitionService : public QObject {
    Q_OBJECT
public:
    explicit TextRecognitionService(QObject* parent = nullptr,
                                    std::chrono::milliseconds idleRelease = kEngineIdleRelease, QString dataFolder = {},
                                    const TextRecognitionEngineModule* module = nullptr);
    ~TextRecognitionService() override;

    // Loads the engine now unless it is loaded; does nothing visible on failure (a
    // recognition reports it).
    void preload();
    // Whether the engine module is there (text recognition can be offered).
    bool isAvailable() const;
    // What to report when it is not: the package to install.
    TextRecognitionError missingError() const;

    enum class Reading {
        textAndCodes,
        codesOnly, // the codes alone: quick, and the engine is not loaded for it
    };
    // Queues the image; returns the request's number, which the signals carry.
    quint64 recognize(const QImage& image, Reading reading = Reading::textAndCodes);
    // Stops a queued or running request: it ends with failed(id, ..., true).
    void cancel(quint64 id);

    // Whether the engine is in memory now (read from any thread).
    bool isEngineLoaded() const;

signals:
    void recognized(quint64 id, const lumivane::ocr::TextRecognitionResult& result);
    // message: the Japanese text to show (TextRecognitionError's description).
    void failed(quint64 id, const QString& message, bool cancelled);
    void engineReleased();

private:
    void finish(quint64 id);

    QThread thread_;
    const TextRecognitionEngineModule& module_;
    RecognitionWorker* worker_ = nullptr; // lives on thread_
    quint64 nextId_ = 1;
    std::map<quint64, std::shared_ptr<std::atomic<bool>>> running_;
};

} // namespace lumivane::ocr
