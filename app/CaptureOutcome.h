#pragma once
#include <QString>
#include <functional>
#include <vector>

namespace lumivane {

// How one capture flow ended: its picture is shown in the preview (or the editor),
// it failed (with the text the application shows), or the user cancelled it.
struct CaptureOutcome {
    enum class Kind { shown, failed, cancelled };
    Kind kind = Kind::shown;
    QString message; // failed: the user-facing text
    QString text;    // shown by reading its text: the text read

    static CaptureOutcome shown() { return {}; }
    static CaptureOutcome read(QString text) { return {Kind::shown, {}, std::move(text)}; }
    static CaptureOutcome failed(QString message) { return {Kind::failed, std::move(message), {}}; }
    static CaptureOutcome cancelled() { return {Kind::cancelled, {}, {}}; }
};

using CaptureCompletion = std::function<void(const CaptureOutcome&)>;

// Whoever waits for one capture flow's outcome (a command, a second hot key on a
// running selection). Each hears it once, on the UI thread. Dropped before the
// flow said anything (a selection replaced by a new one), they hear cancelled.
class CaptureWaiters {
public:
    CaptureWaiters() = default;
    explicit CaptureWaiters(CaptureCompletion first) { add(std::move(first)); }
    CaptureWaiters(const CaptureWaiters&) = delete;
    CaptureWaiters& operator=(const CaptureWaiters&) = delete;
    ~CaptureWaiters();

    void add(CaptureCompletion done) {
        if (done)
            waiting_.push_back(std::move(done));
    }
    void finish(const CaptureOutcome& outcome);

private:
    std::vector<CaptureCompletion> waiting_;
};

} // namespace lumivane
