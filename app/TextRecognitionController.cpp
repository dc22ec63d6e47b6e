#include "app/TextRecognitionController.h"
#include "app/ErrorMessages.h"
#include "app/TextResultWindow.h"
#include "ocr/TextRecognitionService.h"
#include "settings/AppSettings.h"

#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QUrl>

namespace lumivane {

namespace {

constexpr int noticeMs = 1800;

// A code's text as a menu entry: one line, cut in the middle when long.
QString menuText(const QString& text) {
    QString line = text.simplified();
    return QFontMetrics(QApplication::font()).elidedText(line, Qt::ElideMiddle, 320);
}

} // namespace

TextRecognitionController::TextRecognitionController(const AppSettings& settings, const AppServices& services,
                                                     QObject* parent,
                                                     std::unique_ptr<ocr::TextRecognitionService> service)
    : QObject(parent), settings_(settings), services_(services), service_(std::move(service)) {
    if (!service_)
        service_ = std::make_unique<ocr::TextRecognitionService>();
    progressTimer_.setSingleShot(true);
    connect(&progressTimer_, &QTimer::timeout, this, [this] {
        if (!isReading())
            return;
        window().showReading();
        window().show();
        window().raise();
    });
    connect(service_.get(), &ocr::TextRecognitionService::recognized, this,
            [this](quint64 id, const ocr::TextRecognitionResult& result) {
                if (id == codesRequestId_) {
                    codesRequestId_ = 0;
                    codes_ = result.codes;
                    emit codesChanged();
                } else if (id == requestId_) {
                    // The command line's form without its final line break.
                    QString text = ocr::resultText(result);
                    if (text.endsWith(QLatin1Char('\n')))
                        text.chop(1);
                    finishReading({TextReadOutcome::Kind::read, text});
                }
            });
    connect(service_.get(), &ocr::TextRecognitionService::failed, this,
            [this](quint64 id, const QString& message, bool cancelled) {
                if (id == codesRequestId_) {
                    codesRequestId_ = 0;
                } else if (id == requestId_) {
                    finishReading(cancelled ? TextReadOutcome{TextReadOutcome::Kind::cancelled, {}}
                                            : TextReadOutcome{TextReadOutcome::Kind::failed, message});
                }
            });
}

TextRecognitionController::~TextRecognitionController() {
    delete window_.data();
    delete notice_.data();
}

bool TextRecognitionController::isAvailable() const {
    return service_->isAvailable();
}

void TextRecognitionController::preload() {
    service_->preload();
}

TextResultWindow& TextRecognitionController::window() {
    if (!window_) {
        window_ = new TextResultWindow;
        window_->setAttribute(Qt::WA_DeleteOnClose);
        connect(window_, &TextResultWindow::cancelRequested, this, [this] { cancelReading(); });
        connect(window_, &TextResultWindow::copyRequested, this, [this](const QString& text) {
            if (services_.copyText)
                services_.copyText(text);
            if (window_)
                window_->noteCopied();
        });
    }
    return *window_;
}

void TextRecognitionController::readText(const ImageRef& image, std::function<void(const TextReadOutcome&)> done) {
    if (isReading())
        cancelReading();
    done_ = std::move(done);
    requestId_ = service_->recognize(image ? *image : QImage());
    if (settings_.copyRecognizedTextAtOnce()) {
        progressTimer_.start(progressDelayMs);
    } else {
        window().showReading();
        window().show();
        window().raise();
        window().activateWindow();
    }
}

void TextRecognitionController::cancelReading() {
    if (!isReading())
        return;
    service_->cancel(requestId_);
    // The window is free at once; the engine stops on its own thread.
    finishReading({TextReadOutcome::Kind::cancelled, {}});
}

void TextRecognitionController::finishReading(const TextReadOutcome& outcome) {
    requestId_ = 0;
    progressTimer_.stop();
    const bool windowUp = window_ && window_->isVisible();
    switch (outcome.kind) {
    case TextReadOutcome::Kind::read:
        if (settings_.copyRecognizedTextAtOnce() && !outcome.text.isEmpty()) {
            if (services_.copyText)
                services_.copyText(outcome.text);
            if (windowUp)
                window_->close();
            showCopiedNotice();
        } else {
            window().showText(outcome.text);
            window().show();
            window().raise();
        }
        break;
    case TextReadOutcome::Kind::failed:
        // Where the user looks: the window of this reading.
        window().showFailure(outcome.text);
        window().show();
        window().raise();
        break;
    case TextReadOutcome::Kind::cancelled:
        if (windowUp)
            window_->close();
        break;
    }
    if (auto done = std::exchange(done_, nullptr))
        done(outcome);
}

void TextRecognitionController::showCopiedNotice() {
    delete notice_.data();
    auto* label = new QLabel(QStringLiteral("テキストをコピーしました"));
    notice_ = label;
    label->setObjectName(QStringLiteral("textCopiedNotice"));
    label->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    label->setAttribute(Qt::WA_ShowWithoutActivating);
    label->setAttribute(Qt::WA_DeleteOnClose);
    label->setMargin(10);
    label->setStyleSheet(QStringLiteral("QLabel { background: rgba(30,30,30,0.92); color: white; "
                                        "border-radius: 8px; font-size: 13px; }"));
    label->adjustSize();
    // Bottom centre of the screen under the pointer.
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        label->move(area.center().x() - label->width() / 2, area.bottom() - label->height() - 48);
    }
    label->show();
    QTimer::singleShot(noticeMs, label, &QWidget::close);
}

void TextRecognitionController::findCodes(const ImageRef& image) {
    codesRequestId_ = 0;
    if (!codes_.empty()) {
        codes_.clear();
        emit codesChanged();
    }
    if (!image || !isAvailable())
        return;
    codesRequestId_ = service_->recognize(*image, ocr::TextRecognitionService::Reading::codesOnly);
}

void TextRecognitionController::showCodesMenu(const QPoint& globalPosition) {
    if (codes_.empty())
        return;
    auto* menu = new QMenu;
    menu->setObjectName(QStringLiteral("codesMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const ocr::DecodedCode& code : codes_) {
        menu->addSection(QStringLiteral("%1 コード").arg(code.format));
        const QString text = code.text;
        QAction* copy = menu->addAction(QStringLiteral("内容をコピー: %1").arg(menuText(text)));
        connect(copy, &QAction::triggered, this, [this, text] {
            if (services_.copyText)
                services_.copyText(text);
        });
        if (ocr::isOpenableAddress(text)) {
            QAction* open = menu->addAction(QStringLiteral("リンクを開く…"));
            connect(open, &QAction::triggered, this, [this, text] { openCodeAddress(text); });
        }
    }
    menu->popup(globalPosition);
}

bool TextRecognitionController::openCodeAddress(const QString& address) {
    const QUrl url(address.trimmed(), QUrl::StrictMode);
    // A code can lead anywhere: the address is shown in full before it opens.
    const AlertText question{
        AlertStyle::warning,
        QStringLiteral("コードのリンクを開きますか？"),
        QStringLiteral("%1\n\n信頼できる相手のコードか確認してから開いてください。").arg(url.toDisplayString()),
        {QStringLiteral("キャンセル"), QStringLiteral("開く")}};
    // Cancel is the default: Return or Escape does not open it.
    if (!services_.showAlert || services_.showAlert(question) != 1001 || !services_.openURL)
        return false;
    services_.openURL(url);
    return true;
}

} // namespace lumivane
