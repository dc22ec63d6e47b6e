#pragma once
#include "core/Image.h"
#include "core/ImageExportPipeline.h"

#include <QAbstractButton>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

namespace lumivane {

class AppSettings;
class SharePopover;
class ShareTargets;

// The round share button of the editor's bottom bar (28 × 28). A press switches
// the share format back to PNG, takes one image from the provider and opens the
// share popover below the button. Disabled (setEnabled(false)) it ignores presses.
// UI thread only.
class QuickShareButton : public QAbstractButton {
    Q_OBJECT
public:
    using ImageProvider = std::function<ImageRef()>;

    // Without targets the desktop's applications are offered.
    explicit QuickShareButton(AppSettings& settings, std::shared_ptr<ShareTargets> targets = nullptr,
                              QWidget* parent = nullptr);
    ~QuickShareButton() override;

    // Called once per press; an empty answer opens the popover without an image.
    void setImageProvider(ImageProvider provider);
    // Export profile of the edited capture (selects the PNG size budget), asked at
    // every press since the capture may change; standard without a provider.
    void setExportProfileProvider(std::function<ImageExportProfile()> provider);
    ImageExportProfile exportProfile() const;
    // Name prefix of share files: the settings' file-name prefix.
    QString fileNamePrefix() const;

    bool isPopoverPresented() const;
    // The open popover (null while closed).
    SharePopover* popover() const;
    // The image taken at the last press.
    const ImageRef& preparedImage() const { return preparedImage_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    void popoverPresentedChanged(bool presented);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void presentPopover();

    AppSettings& settings_;
    std::shared_ptr<ShareTargets> targets_;
    ImageProvider imageProvider_;
    std::function<ImageExportProfile()> profileProvider_;
    ImageRef preparedImage_;
    QPointer<SharePopover> popover_;
};

} // namespace lumivane
