#pragma once
#include "core/Image.h"
#include "core/ImageExportPipeline.h"
#include "core/ImageFormats.h"
#include "export/ShareLaunch.h"

#include <QMenu>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

namespace lumivane {

class ShareTargets;

// "他の共有先" (124 × 24): opens the picker of the desktop's applications for the
// current share format plus "ファイルの場所を開く", and hands the chosen one the
// prepared file. Without a prepared file the image itself is encoded at the choice.
class ShareSheetLauncherButton : public QWidget {
    Q_OBJECT
public:
    ShareSheetLauncherButton(std::shared_ptr<ShareTargets> targets, QWidget* parent = nullptr);

    // Replaced on every update of the popover.
    std::function<ImageRef()> imageProvider;
    std::function<std::optional<QString>()> itemProvider;
    std::function<ImageExportProfile()> sourceProvider;
    std::function<ScreenshotFileFormat()> formatProvider;
    std::function<CaptureQualityPreset()> qualityPresetProvider;
    std::function<QString()> fileNamePrefixProvider;
    // A launch or file failure; by default a warning alert.
    std::function<void(const QString& title, const QString& detail)> reportFailure;

    // Enabled exactly when there is an image.
    void refresh(bool hasImage);
    // Opens the picker below the control; nothing without a file and an image.
    void openPicker();
    QMenu* picker() const { return picker_; }

    // What the picker hands out: the prepared file, else the image itself.
    struct Item {
        std::optional<QString> file;
        ImageRef image;
    };
    std::optional<Item> currentItem() const;

    QSize sizeHint() const override { return {124, 24}; }

signals:
    // After a successful launch or reveal, with the file handed out.
    void shared(const QString& filePath);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;

private:
    // Hands the current file to the action (see handOutShare); failures go to reportFailure.
    void choose(const ShareAction& action, const QString& failureTitle);

    std::shared_ptr<ShareTargets> targets_;
    QPointer<QMenu> picker_;
    bool pressed_ = false;
};

} // namespace lumivane
