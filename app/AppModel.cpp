#include "app/AppModel.h"
#include "app/AppDesktopShortcuts.h"
#include "app/AppSetupHost.h"
#include "app/ErrorMessages.h"
#include "browser/BrowserCaptureError.h"
#include "capture/CaptureError.h"
#include "core/AtomicFile.h"
#include "core/LargeMemory.h"
#include "editor/EditorRenderer.h"
#include "editor_model/DocumentLimits.h"
#include "editor_model/EditorOperations.h"
#include "editor_model/ProjectFile.h"
#include "settings/SaveDialogFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrent>
#include <stdexcept>

namespace lumivane {

namespace ops = EditorOperations;

namespace {
constexpr int previewAutoDismissPollMs = 1000;
constexpr qint64 previewAutoDismissIdleMs = 4000;
// The clipboard's PNG of a capture is encoded once its preview is on screen; at the
// latest this long after the capture when the preview never says so.
constexpr int previewClipboardStartLatestMs = 500;

} // namespace

AppModel::AppModel(std::unique_ptr<AppSettings> settings, AppServices services, QObject* parent)
    : EditorHost(parent), settings_(std::move(settings)), services_(std::move(services)),
      previewLastInteractionAt_(QDateTime::fromMSecsSinceEpoch(0)) {
    completeSetupServices(services_);
    previewClipboardQueue_.setMaxThreadCount(1);
    previewClipboardQueue_.setObjectName("lumivane.preview-clipboard-export");
    previewClipboardStart_.setSingleShot(true);
    previewClipboardStart_.setInterval(previewClipboardStartLatestMs);
    connect(&previewClipboardStart_, &QTimer::timeout, this, [this] {
        if (currentCapture_)
            preparePreviewClipboardDataIfNeeded(currentCapture_->image);
    });
    previewDismissTimer_.setInterval(previewAutoDismissPollMs);
    connect(&previewDismissTimer_, &QTimer::timeout, this, [this] {
        if (!preview_ || !preview_->isVisible()) {
            previewDismissTimer_.stop();
            return;
        }
        if (!previewIsHovering_ &&
            previewLastInteractionAt_.msecsTo(QDateTime::currentDateTime()) >= previewAutoDismissIdleMs)
            dismissPreview();
    });
    for (auto signal : {&AppModel::currentCaptureChanged, &AppModel::lastErrorMessageChanged,
                        &AppModel::shortcutRegistrationFailuresChanged})
        connect(this, signal, this, &AppModel::stateChanged);
    connect(this, &EditorHost::editorDocumentChanged, this, &AppModel::stateChanged);
    connect(settings_.get(), &AppSettings::changed, this, [this] {
        emit stateChanged();
        refreshSetupState();
    });
    if (services_.hotKeys) {
        QPointer<AppModel> self(this);
        services_.hotKeys->onAction = [self](HotKeyService::Action action) {
            if (self)
                self->handleHotKey(action);
        };
        // The desktop's own answer to a binding, after registerShortcuts returned.
        services_.hotKeys->onFailuresChanged = [self](const std::vector<HotKeyService::RegistrationFailure>& failures) {
            if (self)
                self->showRegistrationFailures(failures);
        };
    }
    if (services_.subscribeToActivation) {
        QPointer<AppModel> self(this);
        services_.subscribeToActivation([self] {
            // Not while a recorder holds the keys: its end applies the settings.
            if (self && !self->hotKeysSuspended_)
                self->applySettings();
        });
    }
    if (shortcutsBoundByDesktop() && services_.desktop->makeDesktopKeyBindings)
        if (auto bindings = services_.desktop->makeDesktopKeyBindings())
            desktopShortcuts_ = std::make_unique<AppDesktopShortcuts>(*settings_, std::move(bindings));
    refreshSetupState();
}

// --- hot keys -----------------------------------------------------------------

std::vector<HotKeyService::RegistrationFailure> AppModel::registerConfiguredShortcuts() {
    if (!services_.hotKeys) {
        // The desktop binds the keys: nothing can fail here, and an old error goes as after a registration.
        showRegistrationFailures({});
        return {};
    }
    std::map<HotKeyService::Action, Shortcut> map;
    for (ShortcutAction a : allShortcutActions)
        map[HotKeyService::actionFor(a)] = settings_->shortcut(a);
    const auto failures = services_.hotKeys->registerShortcuts(map);
    showRegistrationFailures(failures);
    return failures;
}

bool AppModel::shortcutsBoundByDesktop() const {
    return !services_.hotKeys && services_.desktop && services_.desktop->windowSystem != WindowSystem::none;
}

DesktopShortcuts* AppModel::desktopShortcuts() const {
    return desktopShortcuts_.get();
}

void AppModel::showRegistrationFailures(const std::vector<HotKeyService::RegistrationFailure>& failures) {
    QMap<HotKeyService::Action, HotKeyService::RegistrationFailure> byAction;
    for (const auto& f : failures)
        byAction.insert(f.action, f);
    if (byAction != shortcutRegistrationFailures_) {
        shortcutRegistrationFailures_ = byAction;
        emit shortcutRegistrationFailuresChanged();
    }
    if (failures.empty()) {
        setLastErrorMessage(std::nullopt);
        return;
    }
    std::vector<ShortcutAction> failed;
    for (ShortcutAction a : allShortcutActions)
        if (byAction.contains(HotKeyService::actionFor(a)))
            failed.push_back(a);
    setLastErrorMessage(shortcutRegistrationFailureMessage(failed));
}

void AppModel::applySettings() {
    hotKeysSuspended_ = false;
    if (shortcutReapplyTask_) {
        shortcutReapplyTask_->stop();
        shortcutReapplyTask_->deleteLater();
        shortcutReapplyTask_ = nullptr;
    }
    if (registerConfiguredShortcuts().empty())
        return;
    // A key busy at launch or activation gets two more attempts, 0.8 s and 2.5 s later.
    auto* task = new QTimer(this);
    task->setSingleShot(true);
    shortcutReapplyTask_ = task;
    auto attempts = std::make_shared<int>(0);
    connect(task, &QTimer::timeout, this, [this, task, attempts] {
        const bool failed = !registerConfiguredShortcuts().empty();
        if (failed && ++*attempts == 1) {
            task->start(1700);
            return;
        }
        if (shortcutReapplyTask_ == task)
            shortcutReapplyTask_ = nullptr;
        task->deleteLater();
    });
    task->start(800);
}

void AppModel::suspendHotKeys() {
    hotKeysSuspended_ = true;
    if (shortcutReapplyTask_) {
        shortcutReapplyTask_->stop();
        shortcutReapplyTask_->deleteLater();
        shortcutReapplyTask_ = nullptr;
    }
    if (services_.hotKeys)
        services_.hotKeys->unregisterAll();
}

void AppModel::useRecommendedShortcuts() {
    settings_->setShortcut(defaultShortcut(ShortcutAction::captureFullScreen), ShortcutAction::captureFullScreen);
    settings_->setShortcut(defaultShortcut(ShortcutAction::captureArea), ShortcutAction::captureArea);
    applySettings();
}

AppModel::~AppModel() {
    previewClipboardQueue_.waitForDone();
}

// --- errors ---------------------------------------------------------------

void AppModel::setLastErrorMessage(std::optional<QString> message) {
    if (lastErrorMessage_ == message)
        return;
    lastErrorMessage_ = std::move(message);
    emit lastErrorMessageChanged();
}

void AppModel::reportError(const std::exception& error) {
    setLastErrorMessage(userFacingErrorMessage(error));
    refreshSetupState();
}

// --- capture flows: AppCaptureFlows.cpp -------------------------------------

void AppModel::presentCapture(ImageRef image, CaptureSource source, std::optional<QRectF> frame) {
    invalidatePendingEditFinalization();
    currentCapture_ = CapturedImage{image, QDateTime::currentDateTime(), source, frame};
    editorDocument_ = EditorDocument::fresh(image);
    editorHistory_ = {};
    emit currentCaptureChanged();
    emit editorDocumentChanged();
    emit editorHistoryChanged();
    preview().show(*currentCapture_);
    // Showing the preview comes first; its clipboard data is encoded after (previewPresented).
    previewClipboardStart_.start();
    previewLastInteractionAt_ = QDateTime::currentDateTime();
    if (settings_->openEditorAfterCapture())
        openEditor();
    schedulePreviewAutoDismissIfNeeded();
}

// --- preview ----------------------------------------------------------------

PreviewPresenter& AppModel::preview() {
    if (!preview_)
        preview_ = services_.makePreview();
    return *preview_;
}

void AppModel::dismissPreview() {
    previewDismissTimer_.stop();
    previewIsHovering_ = false;
    if (preview_)
        preview_->hideWithFadeSlide();
}

void AppModel::schedulePreviewAutoDismissIfNeeded() {
    previewDismissTimer_.stop();
    if (settings_->autoDismissPreview())
        previewDismissTimer_.start();
}

void AppModel::previewHoverChanged(bool hovering) {
    previewIsHovering_ = hovering;
    notePreviewInteraction();
}

void AppModel::previewPresented() {
    if (!previewClipboardStart_.isActive())
        return;
    previewClipboardStart_.stop();
    if (currentCapture_)
        preparePreviewClipboardDataIfNeeded(currentCapture_->image);
}

void AppModel::notePreviewInteraction() {
    previewLastInteractionAt_ = QDateTime::currentDateTime();
}

// --- editor hand-over -------------------------------------------------------

void AppModel::invalidatePendingEditFinalization() {
    ++finishEditingGeneration_;
    pendingFinishedEditorDocument_.reset();
}

void AppModel::openEditor() {
    if (!currentCapture_)
        return;
    std::optional<EditorDocument> pending = pendingFinishedEditorDocument_;
    invalidatePendingEditFinalization();
    editorDocument_ = pending ? std::move(*pending) : EditorDocument::fresh(currentCapture_->image);
    editorHistory_ = {};
    editorIsEditingText_ = false;
    emit editorDocumentChanged();
    emit editorHistoryChanged();
    previewDismissTimer_.stop();
    previewIsHovering_ = false;
    if (preview_)
        preview_->removeFromScreen();
    presentEditorWindow();
}

void AppModel::presentEditorWindow() {
    if (!editor_)
        editor_ = services_.makeEditor();
    if (!editor_)
        return;
    editor_->present();
    editor_->updateLayout(editorDocument_ ? editorDocument_->imageSize() : QSizeF());
}

void AppModel::finishEditing(const EditorDocument& document) {
    invalidatePendingEditFinalization();
    const qint64 generation = finishEditingGeneration_;
    pendingFinishedEditorDocument_ = document;
    editorDocument_ = document;
    editorHistory_ = {};
    editorIsEditingText_ = false;
    emit editorDocumentChanged();
    emit editorHistoryChanged();
    if (editor_)
        editor_->removeFromScreen();
    if (currentCapture_)
        preview().show(*currentCapture_);
    previewLastInteractionAt_ = QDateTime::currentDateTime();
    schedulePreviewAutoDismissIfNeeded();

    QPointer<AppModel> self(this);
    QtConcurrent::run([document] {
        return EditorRenderer::render(document);
    }).then(this, [self, generation, document](std::optional<QImage> rendered) {
        if (!self || self->finishEditingGeneration_ != generation || !rendered)
            return;
        CapturedImage capture;
        if (self->currentCapture_)
            capture = *self->currentCapture_;
        else
            capture.createdAt = QDateTime::currentDateTime();
        capture.image = makeImage(std::move(*rendered));
        self->currentCapture_ = capture;
        self->preparePreviewClipboardDataIfNeeded(capture.image);
        self->editorDocument_ = document;
        self->pendingFinishedEditorDocument_.reset();
        emit self->currentCaptureChanged();
        self->preview().show(capture);
        self->previewLastInteractionAt_ = QDateTime::currentDateTime();
        self->schedulePreviewAutoDismissIfNeeded();
        emit self->editedCaptureFinalized();
    });
}

// --- document operations ----------------------------------------------------

void AppModel::commitEditorChange(const EditorSnapshot& previous) {
    if (ops::commitEditorChange(editorDocument(), editorHistory_, previous))
        emit editorHistoryChanged();
}

void AppModel::undoEditorChange() {
    if (ops::undoEditorChange(editorDocument(), editorHistory_, editorIsEditingText_)) {
        emit editorDocumentChanged();
        emit editorHistoryChanged();
    }
}

void AppModel::redoEditorChange() {
    if (ops::redoEditorChange(editorDocument(), editorHistory_, editorIsEditingText_)) {
        emit editorDocumentChanged();
        emit editorHistoryChanged();
    }
}

RgbaColor AppModel::configuredAnnotationColor(AnnotationKind kind) const {
    AnnotationColorDefaults d;
    d.annotation = settings_->defaultAnnotationColor();
    d.text = settings_->defaultTextColor();
    d.marker = settings_->defaultMarkerColor();
    d.highlight = settings_->defaultHighlightColor();
    return lumivane::configuredAnnotationColor(kind, d);
}

void AppModel::afterImageOperation(bool changed) {
    if (!changed)
        return;
    emit editorDocumentChanged();
    emit editorHistoryChanged();
    if (editor_ && editorDocument_)
        editor_->updateLayout(editorDocument_->imageSize());
}

void AppModel::rotateEditorImage(ImageRotationDirection d) {
    afterImageOperation(ops::rotateEditorImage(editorDocument(), editorHistory_, d));
}
void AppModel::flipEditorImage(bool horizontally) {
    afterImageOperation(ops::flipEditorImage(editorDocument(), editorHistory_, horizontally));
}
void AppModel::resizeEditorImage(double scale) {
    afterImageOperation(ops::resizeEditorImage(editorDocument(), editorHistory_, scale));
}
void AppModel::applyCropToEditorDocument() {
    afterImageOperation(ops::applyCropToEditorDocument(editorDocument(), editorHistory_));
}
void AppModel::cancelEditorCrop() {
    afterImageOperation(ops::cancelEditorCrop(editorDocument(), editorHistory_));
}

// --- copy and save ----------------------------------------------------------

CaptureSource AppModel::currentSource() const {
    return currentCapture_ ? currentCapture_->source : CaptureSource::standard;
}

ImageRef AppModel::currentPreviewImage() const {
    if (currentCapture_)
        return currentCapture_->image;
    if (editorDocument_)
        if (auto image = EditorRenderer::render(*editorDocument_))
            return makeImage(std::move(*image));
    return nullptr;
}

QString AppModel::clipboardFileName(const QString& base) {
    QString name = base;
    name.replace('/', '-').replace(':', '-');
    return name + ".png";
}

AppModel::ClipboardData AppModel::makeClipboardData(const QImage& image, ImageExportProfile profile,
                                                    CaptureQualityPreset preset, const QString& directory,
                                                    const QString& base) {
    ClipboardData data;
    data.png = ImageExportPipeline::dragExportPNGData(image, ImageExportOptions::output(profile, preset));
    if (data.png) {
        const QString path = QDir(directory).filePath(clipboardFileName(base));
        if (writeBytesAtomically(path, *data.png, nullptr, FileAccess::ownerOnly))
            data.filePath = path;
    }
    return data;
}

void AppModel::preparePreviewClipboardDataIfNeeded(const ImageRef& image) {
    if (!image)
        return;
    if (cachedPreviewClipboardImage_ == image && cachedPreviewClipboardPNGData_)
        return;
    cachedPreviewClipboardImage_ = image;
    cachedPreviewClipboardPNGData_.reset();
    cachedPreviewClipboardFilePath_.reset();
    const ImageExportProfile profile = exportProfile(currentSource());
    const CaptureQualityPreset preset = settings_->captureQualityPreset();
    const QString base = generatedFileNameBase();
    const QString directory = services_.temporaryDirectory;
    QPointer<AppModel> self(this);
    // A capture that follows before this one's turn on the queue supersedes it; a queued
    // job does not keep its image alive.
    const quint64 generation = ++*previewClipboardGeneration_;
    (void)QtConcurrent::run(&previewClipboardQueue_,
                            [=, weak = std::weak_ptr<const QImage>(image), latest = previewClipboardGeneration_] {
                                if (latest->load() != generation)
                                    return;
                                const ImageRef image = weak.lock();
                                if (!image)
                                    return;
                                const ClipboardData data = makeClipboardData(*image, profile, preset, directory, base);
                                LargeMemory::trimWhenIdle(); // the encode's buffers are free now
                                QMetaObject::invokeMethod(qApp, [self, image, data] {
                                    if (!self || self->cachedPreviewClipboardImage_ != image)
                                        return;
                                    self->cachedPreviewClipboardPNGData_ = data.png;
                                    self->cachedPreviewClipboardFilePath_ = data.filePath;
                                });
                            });
}

bool AppModel::writeClipboard(const ClipboardData& data, const ImageRef& image) {
    if (!services_.clipboard)
        return false;
    services_.clipboard->clear();
    const bool taken = data.png || data.filePath ? services_.clipboard->write(data.filePath, data.png)
                                                 : services_.clipboard->writeImage(image);
    if (!taken)
        setLastErrorMessage(QStringLiteral(
            "クリップボードにコピーできませんでした。プレビューの「コピー」ボタンから、もう一度お試しください。"));
    return taken;
}

void AppModel::copyCurrentImage(std::function<void(bool)> completion) {
    const ImageRef image = currentPreviewImage();
    if (!image)
        return;
    if (cachedPreviewClipboardPNGData_ && cachedPreviewClipboardImage_ == image) {
        const bool taken = writeClipboard({cachedPreviewClipboardPNGData_, cachedPreviewClipboardFilePath_}, image);
        if (completion)
            completion(taken);
        return;
    }
    const ImageExportProfile profile = exportProfile(currentSource());
    const CaptureQualityPreset preset = settings_->captureQualityPreset();
    const QString base = generatedFileNameBase();
    const QString directory = services_.temporaryDirectory;
    const CaptureSource source = currentSource();
    QPointer<AppModel> self(this);
    (void)QtConcurrent::run(&previewClipboardQueue_, [=] {
        const ClipboardData data = makeClipboardData(*image, profile, preset, directory, base);
        QMetaObject::invokeMethod(qApp, [self, image, data, source, completion] {
            if (!self) {
                if (completion)
                    completion(false);
                return;
            }
            if (data.png) {
                self->cachedPreviewClipboardImage_ = image;
                self->cachedPreviewClipboardPNGData_ = data.png;
                self->cachedPreviewClipboardFilePath_ = data.filePath;
                const bool taken = self->writeClipboard(data, image);
                if (completion)
                    completion(taken);
            } else {
                self->writeImageToClipboard(image, source);
                if (completion)
                    completion(false);
            }
        });
    });
}

void AppModel::writeImageToClipboard(const ImageRef& image, CaptureSource source) {
    if (!image || !services_.clipboard)
        return;
    services_.clipboard->clear();
    const ClipboardData data = makeClipboardData(*image, exportProfile(source), settings_->captureQualityPreset(),
                                                 services_.temporaryDirectory, generatedFileNameBase());
    writeClipboard(data, image);
}

QString AppModel::timestamp() {
    return fileNameTimestamp(QDateTime::currentDateTime());
}

QString AppModel::generatedFileNameBase() const {
    QString prefix = settings_->fileNamePrefix().trimmed();
    if (prefix.isEmpty())
        prefix = QStringLiteral("Screenshot");
    return prefix + "-" + timestamp();
}

QString AppModel::generatedFileName() const {
    return generatedFileNameBase() + "." +
           (settings_->screenshotFileFormat() == ScreenshotFileFormat::jpeg ? "jpg" : "png");
}

QString AppModel::uniqueImagePath(const QString& folder) const {
    const QString base = generatedFileNameBase();
    const QString ext = settings_->screenshotFileFormat() == ScreenshotFileFormat::jpeg ? "jpg" : "png";
    const QDir dir(folder);
    QString candidate = dir.filePath(base + "." + ext);
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = dir.filePath(QString("%1-%2.%3").arg(base).arg(n).arg(ext));
    return candidate;
}

std::optional<QByteArray> AppModel::encodedImageData(const ImageRef& image, CaptureSource source) const {
    if (!image)
        return std::nullopt;
    return ImageExportPipeline::encodedImageFileData(*image, settings_->screenshotFileFormat(), exportProfile(source),
                                                     settings_->captureQualityPreset());
}

void AppModel::saveImageQuickly(const ImageRef& image, CaptureSource source, std::function<void(bool)> completion) {
    const std::optional<QUrl> folder = settings_->resolvedDefaultSaveFolderURL();
    if (!folder) {
        saveImageWithPanel(image, source);
        if (completion)
            completion(true);
        return;
    }
    try {
        const QString path = folder->toLocalFile();
        if (!QDir().mkpath(path))
            throw FileOperationError(FileOperationError::Kind::folderNotCreated, path);
        const auto bytes = encodedImageData(image, source);
        if (!bytes)
            throw CaptureError(CaptureError::Kind::imageConversionFailed);
        QString error;
        const QString target = uniqueImagePath(path);
        if (!writeBytesAtomically(target, *bytes, &error))
            throw FileOperationError(FileOperationError::Kind::fileNotWritten, target, error);
        if (completion)
            completion(true);
    } catch (const std::exception& e) {
        reportError(e);
        if (completion)
            completion(false);
    }
}

void AppModel::saveImageWithPanel(const ImageRef& image, CaptureSource source) {
    if (!services_.chooseImageSavePath)
        return;
    // The dialog starts in the default save folder, else in Pictures.
    const QString suggestion = QDir(saveDialogFolder(*settings_)).filePath(generatedFileName());
    const auto path = services_.chooseImageSavePath(suggestion, settings_->screenshotFileFormat());
    if (!path)
        return;
    try {
        const auto bytes = encodedImageData(image, source);
        if (!bytes)
            throw CaptureError(CaptureError::Kind::imageConversionFailed);
        QString error;
        if (!writeBytesAtomically(*path, *bytes, &error))
            throw FileOperationError(FileOperationError::Kind::fileNotWritten, *path, error);
    } catch (const std::exception& e) {
        reportError(e);
    }
}

void AppModel::saveAs(const EditorDocument& document) {
    if (auto image = EditorRenderer::render(document))
        saveImageWithPanel(makeImage(std::move(*image)), currentSource());
}

void AppModel::copy(const EditorDocument& document) {
    if (auto image = EditorRenderer::render(document))
        writeImageToClipboard(makeImage(std::move(*image)), currentSource());
}

void AppModel::saveImageQuickly(const EditorDocument& document) {
    if (auto image = EditorRenderer::render(document))
        saveImageQuickly(makeImage(std::move(*image)), currentSource());
}

bool AppModel::saveProject(const EditorDocument& document, const QString& path) {
    // A project is only written when it can be opened again.
    if (const QSize size = document.baseImage ? document.baseImage->size() : QSize();
        !size.isEmpty() && !DocumentLimits::imageSizeAllowed(size.width(), size.height())) {
        reportError(FileOperationError(FileOperationError::Kind::fileNotWritten, path,
                                       DocumentLimits::imageTooLargeMessage(size.width(), size.height())));
        return false;
    }
    QString error;
    if (!writeBytesAtomically(path, SavedEditorProject(document).encode(), &error)) {
        reportError(FileOperationError(FileOperationError::Kind::fileNotWritten, path, error));
        return false;
    }
    return true;
}

bool AppModel::openProject(const QString& path) {
    try {
        std::optional<EditorDocument> document;
        try {
            document = ProjectFile::readFile(path).makeDocument();
        } catch (const ProjectFileError& e) {
            throw FileOperationError(e.reason() == ProjectFileError::Reason::unreadable
                                         ? FileOperationError::Kind::projectNotReadable
                                         : FileOperationError::Kind::projectInvalid,
                                     path, QString::fromUtf8(e.what()));
        }
        if (!document)
            throw CaptureError(CaptureError::Kind::imageConversionFailed);
        invalidatePendingEditFinalization();
        editorDocument_ = std::move(*document);
        editorHistory_ = {};
        editorIsEditingText_ = false;
        currentCapture_ = CapturedImage{editorDocument_->baseImage, QDateTime::currentDateTime(),
                                        CaptureSource::standard, std::nullopt};
        emit currentCaptureChanged();
        emit editorDocumentChanged();
        emit editorHistoryChanged();
        presentEditorWindow();
        return true;
    } catch (const std::exception& e) {
        reportError(e);
        return false;
    }
}

} // namespace lumivane
