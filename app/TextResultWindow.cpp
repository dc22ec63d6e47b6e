#include "app/TextResultWindow.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedLayout>
#include <QTimer>
#include <QVBoxLayout>

namespace lumivane {

namespace {

QPushButton* button(const QString& text, const QString& name, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}

QHBoxLayout* buttonRow(std::initializer_list<QPushButton*> buttons) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    for (QPushButton* b : buttons)
        row->addWidget(b);
    return row;
}

} // namespace

TextResultWindow::TextResultWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("textResultWindow"));
    setWindowTitle(windowTitleText());
    resize(460, 320);
    pages_ = new QStackedLayout(this);

    readingPage_ = new QWidget(this);
    auto* reading = new QVBoxLayout(readingPage_);
    reading->setContentsMargins(20, 20, 20, 16);
    reading->addStretch(1);
    reading->addWidget(new QLabel(QStringLiteral("文字を読み取っています…"), readingPage_));
    progress_ = new QProgressBar(readingPage_);
    progress_->setObjectName(QStringLiteral("textResultProgress"));
    progress_->setRange(0, 0);
    progress_->setTextVisible(false);
    reading->addWidget(progress_);
    reading->addStretch(1);
    QPushButton* cancel = button(QStringLiteral("中止"), QStringLiteral("textResultCancel"), readingPage_);
    connect(cancel, &QPushButton::clicked, this, &TextResultWindow::cancelRequested);
    reading->addLayout(buttonRow({cancel}));
    pages_->addWidget(readingPage_);

    textPage_ = new QWidget(this);
    auto* textLayout = new QVBoxLayout(textPage_);
    textLayout->setContentsMargins(12, 12, 12, 12);
    editor_ = new QPlainTextEdit(textPage_);
    editor_->setObjectName(QStringLiteral("textResultEditor"));
    editor_->setPlaceholderText(QStringLiteral("文字は見つかりませんでした。"));
    editor_->setAccessibleName(windowTitleText());
    textLayout->addWidget(editor_, 1);
    copy_ = button(QStringLiteral("コピー"), QStringLiteral("textResultCopy"), textPage_);
    copy_->setDefault(true);
    connect(copy_, &QPushButton::clicked, this, [this] { emit copyRequested(text()); });
    connect(editor_, &QPlainTextEdit::textChanged, copy_, [this] { copy_->setEnabled(!text().isEmpty()); });
    QPushButton* close = button(QStringLiteral("閉じる"), QStringLiteral("textResultClose"), textPage_);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    textLayout->addLayout(buttonRow({close, copy_}));
    pages_->addWidget(textPage_);

    failurePage_ = new QWidget(this);
    auto* failureLayout = new QVBoxLayout(failurePage_);
    failureLayout->setContentsMargins(20, 20, 20, 16);
    failure_ = new QLabel(failurePage_);
    failure_->setObjectName(QStringLiteral("textResultMessage"));
    failure_->setWordWrap(true);
    failure_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    failureLayout->addWidget(failure_, 1, Qt::AlignTop);
    QPushButton* closeFailure =
        button(QStringLiteral("閉じる"), QStringLiteral("textResultCloseFailure"), failurePage_);
    connect(closeFailure, &QPushButton::clicked, this, &QWidget::close);
    failureLayout->addLayout(buttonRow({closeFailure}));
    pages_->addWidget(failurePage_);
}

void TextResultWindow::showReading() {
    pages_->setCurrentWidget(readingPage_);
}

void TextResultWindow::showText(const QString& text) {
    editor_->setPlainText(text);
    copy_->setText(QStringLiteral("コピー"));
    copy_->setEnabled(!text.isEmpty());
    pages_->setCurrentWidget(textPage_);
    editor_->setFocus();
}

void TextResultWindow::showFailure(const QString& message) {
    failure_->setText(message);
    pages_->setCurrentWidget(failurePage_);
}

QString TextResultWindow::text() const {
    return editor_->toPlainText();
}

void TextResultWindow::noteCopied() {
    copy_->setText(QStringLiteral("コピーしました"));
    QTimer::singleShot(1500, copy_, [copy = copy_] { copy->setText(QStringLiteral("コピー")); });
}

void TextResultWindow::closeEvent(QCloseEvent* event) {
    // Closing a running recognition stops it.
    if (pages_->currentWidget() == readingPage_)
        emit cancelRequested();
    QWidget::closeEvent(event);
}

} // namespace lumivane
