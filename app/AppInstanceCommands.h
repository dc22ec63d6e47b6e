#pragma once
#include "app/SingleInstance.h"

#include <functional>

namespace lumivane {

class AppModel;

// The requests of other processes, carried out by the application model. Captures
// start on the next turn of the event loop and answer when they have ended.
class AppInstanceCommands final : public InstanceCommands {
public:
    explicit AppInstanceCommands(AppModel& model, std::function<void()> quit = {});

    void captureFullScreen(CaptureCompletion done) override;
    void captureArea(CaptureCompletion done) override;
    void captureBrowserPage(CaptureCompletion done) override;
    void captureAreaText(CaptureCompletion done) override;
    void captureWindow(CaptureCompletion done) override;
    void captureLastArea(CaptureCompletion done) override;
    std::optional<QString> openEditor() override;
    std::optional<QString> openProject(const QString& path) override;
    std::optional<QString> editImage(const QString& path) override;
    void captureAfterDelay(const QString& mode, int seconds, CaptureCompletion done) override;
    std::optional<QString> pinImage(const QString& path) override;
    std::optional<QString> showSettings() override;
    std::optional<QString> quit() override;

private:
    AppModel& model_;
    std::function<void()> quit_;
};

} // namespace lumivane
