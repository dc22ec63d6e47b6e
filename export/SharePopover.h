#pragma once
#include "core/Image.h"
#include "core/ImageExportPipeline.h"
#include "core/ImageFormats.h"
#include "export/ShareLauncherButton.h"

#include <QString>
#include <QWidget>
#include <map>
#include <memory>
#include <set>

class QAbstractButton;

namespace lumivane {

class AppSettings;
class SharePreparation;
class ShareTargets;

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

    const std::map<ScreenshotFileFormat, QString>& preparedItems() const;
    const std::set<ScreenshotFileFormat>& preparingFormats() const;
    QAbstractButton* formatChip(ScreenshotFileFormat format) const;
    ShareSheetLauncherButton* launcher() const { return launcher_; }

signals:
    void preparedItemsChanged();

protected:
    void showEvent(QShowEvent*) override;

private:
    void preparationReset();
    void settingsChanged();
    void updateControls();

    AppSettings& settings_;
    SharePreparation* preparation_;
    ScreenshotFileFormat shownFormat_;
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
