#pragma once
// An application model wired to the real desktop services of the test's X server,
// with in-memory settings and a private temporary folder.
#include "MemorySettingsStore.h"
#include "VisibleWindow.h"
#include "app/AppModel.h"
#include "app/Application.h"
#include "platform/x11/X11Backend.h"
#include "platform/x11/X11Screens.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QWidget>
#include <functional>
#include <memory>

namespace lumivane::test {

struct DesktopModel {
    // `adjust` may change the settings and services before the model is built.
    explicit DesktopModel(const std::function<void(AppSettings&, AppServices&)>& adjust = {}) {
        x11 = X11Screens::connect();
        auto desktop = makeX11Backend();
        if (!x11 || !desktop)
            return;
        AppServices services = makeDesktopServices(desktop, [this] { return model.get(); });
        services.temporaryDirectory = dir.path();
        services.historyFolder = dir.filePath("history");
        auto settings = std::make_unique<AppSettings>(std::make_unique<MemorySettingsStore>());
        if (adjust)
            adjust(*settings, services);
        model = std::make_unique<AppModel>(std::move(settings), services);
    }
    bool ready() const { return model != nullptr; }
    AppModel& operator*() { return *model; }
    AppModel* operator->() { return model.get(); }

    QTemporaryDir dir;
    std::shared_ptr<X11Screens> x11;
    std::unique_ptr<AppModel> model;
};

} // namespace lumivane::test
