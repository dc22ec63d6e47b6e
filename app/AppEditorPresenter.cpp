#include "app/AppEditorPresenter.h"

#include "app/AppModel.h"
#include "editor/EditorWindowController.h"
#include "export/QuickShareButton.h"

#include <QApplication>

namespace lumivane {

namespace {

class EditorWindowPresenter final : public EditorPresenter {
public:
    explicit EditorWindowPresenter(const std::function<AppModel*()>& model)
        : controller_(model()->editorSession(), exportContext(model)) {
        EditorBottomBar* bar = controller_.view()->canvasHost()->bottomBar();
        auto* share = new QuickShareButton(model()->settings());
        // Each press renders the bar's document copy afresh: a new image object.
        share->setImageProvider([bar]() -> ImageRef {
            const std::optional<QImage> image = bar->exportImage();
            return image ? makeImage(*image) : nullptr;
        });
        share->setExportProfileProvider(exportContext(model).exportProfile);
        bar->setShareButton(share);
    }

    void present() override { controller_.present(); }
    void removeFromScreen() override { controller_.removeFromScreen(); }
    void updateLayout(QSizeF imageSize) override { controller_.updateLayout(imageSize); }

private:
    static EditorExportContext exportContext(const std::function<AppModel*()>& model) {
        EditorExportContext c;
        c.captureImage = [model]() -> ImageRef {
            const AppModel* m = model();
            return m && m->currentCapture() ? m->currentCapture()->image : nullptr;
        };
        c.exportProfile = [model] {
            const AppModel* m = model();
            return exportProfile(m && m->currentCapture() ? m->currentCapture()->source : CaptureSource::standard);
        };
        return c;
    }

    EditorWindowController controller_;
};

} // namespace

std::unique_ptr<EditorPresenter> makeEditorPresenter(const std::function<AppModel*()>& model) {
    if (!model || !model())
        return nullptr;
    return std::make_unique<EditorWindowPresenter>(model);
}

} // namespace lumivane
