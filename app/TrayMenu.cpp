#include "app/TrayMenu.h"

#include "app/AppModel.h"
#include "app/AppSettingsHost.h"
#include "app/HistoryRecorder.h"
#include "app/TextRecognitionController.h"
#include "editor_model/ProjectFile.h"
#include "history/HistoryListModel.h"
#include "platform/FileDialogs.h"
#include "settings/SaveDialogFolder.h"
#include "updates/AppUpdateController.h"

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <QWidgetAction>

namespace lumivane {

namespace {

constexpr int boxOuterPadding = 8;
constexpr int boxInnerPadding = 10;

QColor secondaryText(const QPalette& palette) {
    QColor c = palette.color(QPalette::Active, QPalette::WindowText);
    c.setAlphaF(0.62f);
    return c;
}

QLabel* textLabel(const QString& text, int pixelSize, QFont::Weight weight, std::optional<QColor> colour) {
    auto* l = new QLabel(text);
    QFont f = l->font();
    f.setPixelSize(pixelSize);
    f.setWeight(weight);
    l->setFont(f);
    if (colour) {
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, *colour);
        l->setPalette(p);
    }
    return l;
}

// A non-interactive row of the menu: the widget in the content column.
QWidgetAction* rowAction(QMenu* menu, QWidget* content, int vertical = 3) {
    auto* holder = new QWidget;
    auto* h = new QHBoxLayout(holder);
    h->setContentsMargins(12, vertical, 12, vertical);
    h->addWidget(content);
    holder->setFixedWidth(TrayMenu::contentWidth);
    auto* action = new QWidgetAction(menu);
    action->setDefaultWidget(holder);
    return action;
}

} // namespace

TrayMenuState trayMenuState(AppModel& model, const AppUpdateController& updates) {
    TrayMenuState s;
    s.hasCapture = model.currentCapture().has_value();
    s.hasEditorDocument = model.editorSession().editorDocument() != nullptr;
    s.hasLastCaptureArea = model.settings().lastCaptureArea().has_value();
    s.screenshotFileFormat = model.settings().screenshotFileFormat();
    s.shortcuts = model.settings().shortcuts();
    s.setupComplete = model.setupState().isComplete();
    s.hasShortcutRegistrationFailures = !model.hotKeys().shortcutRegistrationFailures().isEmpty();
    s.lastErrorMessage = model.lastErrorMessage();
    s.canCheckForUpdates = updates.canCheckForUpdates();
    s.offersTextRecognition = model.textRecognition().isAvailable();
    s.delayedCaptureRunning = model.isDelayedCaptureRunning();
    s.historyEnabled = model.settings().historyEnabled();
    if (s.historyEnabled) {
        const QDateTime now = QDateTime::currentDateTime();
        const auto& entries = model.history().entries();
        for (size_t i = 0; i < entries.size() && i < TrayMenu::recentCaptureCount; ++i)
            s.recentCaptures << HistoryListModel::caption(entries[i].capturedAt, now);
    }
    return s;
}

// --- error box ------------------------------------------------------------------

QStringList MenuErrorBox::twoLines(const QString& text, const QFont& font, int width) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QStringList lines;
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        if (lines.size() == 1) {
            // The second line takes the rest, cut at the end.
            const QString rest = text.mid(line.textStart());
            lines << QFontMetrics(font).elidedText(rest, Qt::ElideRight, width);
            break;
        }
        lines << text.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    if (lines.isEmpty())
        lines << QString();
    return lines;
}

MenuErrorBox::MenuErrorBox(const QString& summary, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("menuErrorBox"));
    setFixedWidth(TrayMenu::contentWidth - 2 * boxOuterPadding);
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(boxInnerPadding, boxInnerPadding, boxInnerPadding, boxInnerPadding);
    h->setSpacing(6);
    auto* symbol = textLabel(QStringLiteral("⚠"), 13, QFont::Bold, systemRed());
    h->addWidget(symbol, 0, Qt::AlignTop);
    QFont font = this->font();
    font.setPixelSize(12);
    const int textWidth = width() - 2 * boxInnerPadding - 6 - symbol->sizeHint().width();
    lines_ = twoLines(summary, font, textWidth);
    auto* text = textLabel(lines_.join(QLatin1Char('\n')), 12, QFont::Normal, std::nullopt);
    text->setObjectName(QStringLiteral("menuErrorSummary"));
    text->setFixedWidth(textWidth);
    text->setWordWrap(false);
    h->addWidget(text, 1);
}

void MenuErrorBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QColor fill = systemRed(), outline = systemRed();
    fill.setAlphaF(0.10f);
    outline.setAlphaF(0.20f);
    p.setPen(QPen(outline, 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
}

// --- menu -------------------------------------------------------------------------

TrayMenu::TrayMenu(AppModel& model, AppSettingsHost& settingsHost, AppUpdateController& updates)
    : model_(model), settingsHost_(settingsHost), updates_(updates), settingsWindow_(settingsHost) {
    menu_.setObjectName(QStringLiteral("trayMenu"));
    connect(&model, &AppModel::stateChanged, this, [this] { rebuild(); });
    model.openSettingsHandler = [this](std::optional<SettingsTab> tab) {
        if (tab)
            settingsHost_.setSelectedSettingsTab(*tab);
        settingsWindow_.showWindow();
    };
    rebuild();
}

void TrayMenu::rebuild() {
    // Submenus go later: a rebuild may run inside one of their actions' signals.
    for (QMenu* submenu : menu_.findChildren<QMenu*>(Qt::FindDirectChildrenOnly))
        submenu->deleteLater();
    menu_.clear();
    const QPalette palette = menu_.palette();
    bool pendingSeparator = false;
    QMap<QString, QMenu*> submenus;
    for (const TrayMenuEntry& e : trayMenuEntries(trayMenuState(model_, updates_))) {
        using K = TrayMenuEntry::Kind;
        if (e.kind == K::divider) {
            pendingSeparator = true;
            continue;
        }
        if (e.kind == K::section) {
            menu_.addSection(e.text);
            pendingSeparator = false;
            continue;
        }
        if (pendingSeparator)
            menu_.addSeparator();
        pendingSeparator = false;
        switch (e.kind) {
        case K::button: {
            QMenu* into = &menu_;
            if (e.submenu) {
                // A submenu appears where its first entry is.
                QMenu*& submenu = submenus[*e.submenu];
                if (!submenu)
                    submenu = menu_.addMenu(*e.submenu);
                into = submenu;
            }
            QAction* a = into->addAction(e.keyText ? e.text + QLatin1Char('\t') + *e.keyText : e.text);
            a->setEnabled(e.enabled);
            if (e.keySequence)
                a->setShortcut(*e.keySequence);
            const TrayMenuCommand command = *e.command;
            const int argument = e.argument;
            connect(a, &QAction::triggered, this, [this, command, argument] { run(command, argument); });
            break;
        }
        case K::headline:
            menu_.addAction(rowAction(&menu_, textLabel(e.text, 14, QFont::Bold, std::nullopt), 4));
            break;
        case K::subheadline:
            menu_.addAction(rowAction(&menu_, textLabel(e.text, 12, QFont::Normal, secondaryText(palette)), 1));
            break;
        case K::caption: {
            QLabel* l = textLabel(e.text, 11, QFont::Normal, secondaryText(palette));
            l->setWordWrap(true);
            menu_.addAction(rowAction(&menu_, l, 2));
            break;
        }
        case K::warning: {
            auto* row = new QWidget;
            auto* h = new QHBoxLayout(row);
            h->setContentsMargins(0, 0, 0, 0);
            h->setSpacing(6);
            h->addWidget(textLabel(QStringLiteral("⚠"), 13, QFont::Bold, QColor(255, 149, 0)));
            QLabel* l = textLabel(e.text, 12, QFont::Normal, std::nullopt);
            l->setWordWrap(true);
            h->addWidget(l, 1);
            menu_.addAction(rowAction(&menu_, row, 2));
            break;
        }
        case K::errorBox: {
            auto* holder = new QWidget;
            auto* h = new QHBoxLayout(holder);
            h->setContentsMargins(boxOuterPadding, 3, boxOuterPadding, 3);
            h->addWidget(new MenuErrorBox(e.text));
            holder->setFixedWidth(contentWidth);
            auto* action = new QWidgetAction(&menu_);
            action->setDefaultWidget(holder);
            menu_.addAction(action);
            break;
        }
        default:
            break;
        }
    }
}

void TrayMenu::run(TrayMenuCommand c, int argument) {
    const int delaySeconds = argument;
    switch (c) {
    case TrayMenuCommand::captureFullScreenAfterDelay:
        model_.captureAfterDelay(HotKeyService::Action::captureFullScreen, delaySeconds);
        break;
    case TrayMenuCommand::captureAreaAfterDelay:
        model_.captureAfterDelay(HotKeyService::Action::captureArea, delaySeconds);
        break;
    case TrayMenuCommand::cancelDelayedCapture:
        model_.cancelDelayedCapture();
        break;
    case TrayMenuCommand::openRecentCapture:
        if (size_t(argument) < model_.history().entries().size())
            model_.editorSession().openProject(model_.history().entries()[size_t(argument)].projectPath);
        break;
    case TrayMenuCommand::showCaptureHistory:
        if (showHistoryWindow)
            showHistoryWindow();
        break;
    case TrayMenuCommand::captureFullScreen:
        model_.captureFullScreen();
        break;
    case TrayMenuCommand::captureArea:
        model_.captureArea();
        break;
    case TrayMenuCommand::captureWindow:
        model_.captureWindow();
        break;
    case TrayMenuCommand::captureLastArea:
        model_.captureLastArea();
        break;
    case TrayMenuCommand::captureBrowserFullPage:
        model_.captureBrowserFullPage();
        break;
    case TrayMenuCommand::captureAreaText:
        model_.captureAreaText();
        break;
    case TrayMenuCommand::openEditor:
        model_.openEditor();
        break;
    case TrayMenuCommand::openSetup:
        model_.openSetupWindow(SetupPresentationMode::standard);
        break;
    case TrayMenuCommand::copyImage:
        model_.copyCurrentImage();
        break;
    case TrayMenuCommand::exportImage:
        model_.saveCurrentImageQuickly();
        break;
    case TrayMenuCommand::useRecommendedShortcuts:
        model_.hotKeys().useRecommendedShortcuts();
        break;
    case TrayMenuCommand::openProject: {
        if (const auto path =
                chooseFileToOpen(nullptr, saveDialogFolder(model_.settings()), ProjectFile::openDialogFilter()))
            model_.editorSession().openProject(*path);
        break;
    }
    case TrayMenuCommand::editClipboardImage:
        model_.editorSession().editClipboardImage();
        break;
    case TrayMenuCommand::saveProject:
        if (const EditorDocument* document = model_.editorSession().editorDocument()) {
            if (const auto path =
                    chooseFileToSave(nullptr,
                                     QDir(saveDialogFolder(model_.settings()))
                                         .filePath(model_.fileNaming().baseName() + QStringLiteral(".lumivane")),
                                     ProjectFile::saveDialogFilter()))
                model_.editorSession().saveProject(*document, ProjectFile::savePath(*path));
        }
        break;
    case TrayMenuCommand::showErrorDetails:
        model_.showLastErrorDetails();
        break;
    case TrayMenuCommand::copyErrorMessage:
        model_.copyLastErrorMessage();
        break;
    case TrayMenuCommand::openSettings:
        settingsWindow_.showWindow();
        break;
    case TrayMenuCommand::openShortcutSettings:
        settingsHost_.setSelectedSettingsTab(SettingsTab::shortcuts);
        settingsWindow_.showWindow();
        break;
    case TrayMenuCommand::openSystemScreenshotSettings:
        settingsHost_.openDesktopScreenshotShortcutSettings();
        break;
    case TrayMenuCommand::checkForUpdates:
        settingsHost_.checkForUpdates();
        break;
    case TrayMenuCommand::quit:
        QApplication::quit();
        break;
    }
}

} // namespace lumivane
