#pragma once
#include "core/Image.h"
#include "core/ImageExportPipeline.h"
#include "core/ImageFormats.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>

class QAbstractButton;
#include <QMenu>
class QPainter;

namespace lumivane {

class AppSettings;
class ShareTargets;

QString shareMimeType(ScreenshotFileFormat format);
// The "turn up right" share arrow filling `box`.
void drawShareArrow(QPainter& painter, const QRectF& box, const QColor& color);

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
    // Hands the current file to the action; when there is none it is encoded in the
    // background first and the action runs when it is written.
    void choose(const std::function<bool(const QString& path, QString* error)>& action, const QString& failureTitle);
    void finishChoice(const std::optional<QString>& path,
                      const std::function<bool(const QString& path, QString* error)>& action,
                      const QString& failureTitle);

    std::shared_ptr<ShareTargets> targets_;
    QPointer<QMenu> picker_;
    bool pressed_ = false;
};

// Format chips ("PNG", "JPEG") and the launcher; prepares the share file of the
// chosen format in the background as soon as it is shown.
class SharePopoverContent : public QWidget {
    Q_OBJECT
public:
    SharePopoverContent(AppSettings& settings, std::shared_ptr<ShareTargets> targets, ImageRef image,
                        ImageExportProfile source, QString fileNamePrefix, QWidget* parent = nullptr);

    // A different image or prefix drops what was prepared and warms the current format.
    void setImage(ImageRef image);
    void setFileNamePrefix(const QString& prefix);
    // Starts (or reuses) the share file of one format.
    void warmShareItem(ScreenshotFileFormat format);

    const std::map<ScreenshotFileFormat, QString>& preparedItems() const { return preparedItems_; }
    const std::set<ScreenshotFileFormat>& preparingFormats() const { return preparingFormats_; }
    QAbstractButton* formatChip(ScreenshotFileFormat format) const;
    ShareSheetLauncherButton* launcher() const { return launcher_; }

signals:
    void preparedItemsChanged();

protected:
    void showEvent(QShowEvent*) override;

private:
    void resetPreparedItems();
    void settingsChanged();
    void updateControls();

    AppSettings& settings_;
    ImageRef image_;
    ImageExportProfile source_;
    QString fileNamePrefix_;
    ScreenshotFileFormat shownFormat_;
    std::map<ScreenshotFileFormat, QString> preparedItems_;
    std::set<ScreenshotFileFormat> preparingFormats_;
    quint64 generation_ = 0; // late results of an earlier image or prefix are dropped
    std::map<ScreenshotFileFormat, QAbstractButton*> chips_;
    ShareSheetLauncherButton* launcher_;
};

// The popup window of the share button: the content with 8 points of padding.
class SharePopover : public QWidget {
    Q_OBJECT
public:
    SharePopover(AppSettings& settings, std::shared_ptr<ShareTargets> targets, ImageRef image,
                 ImageExportProfile source, QString fileNamePrefix, QWidget* parent = nullptr);
    SharePopoverContent* content() const { return content_; }
    // Below the anchor's bounds (above when the screen has no room), right edges aligned.
    void showAttachedTo(QWidget* anchor);

signals:
    void closed();

protected:
    void paintEvent(QPaintEvent*) override;
    void hideEvent(QHideEvent*) override;

private:
    SharePopoverContent* content_;
};

} // namespace lumivane
