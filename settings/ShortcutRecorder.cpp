#include "settings/ShortcutRecorder.h"

#include "shortcuts/KeyMapping.h"

#include <QApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

namespace lumivane {

namespace {
constexpr quint32 kEscapeKeyCode = 53;
const QColor kSystemBlue(0, 122, 255);

bool isModifierQtKey(int key) {
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
        return true;
    default:
        return false;
    }
}
} // namespace

ShortcutRecorderField::ShortcutRecorderField(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
    updateAppearance();
}

ShortcutRecorderField::~ShortcutRecorderField() {
    if (monitorInstalled_ && qApp)
        qApp->removeEventFilter(this);
}

void ShortcutRecorderField::setShortcut(const Shortcut& shortcut) {
    shortcut_ = shortcut;
    updateAppearance();
}

void ShortcutRecorderField::beginRecording() {
    stopMonitoring();
    isRecording_ = true;
    updateAppearance();
    if (auto begin = onBeginRecording)
        begin();
    qApp->installEventFilter(this);
    monitorInstalled_ = true;
}

void ShortcutRecorderField::stopMonitoring() {
    const bool wasActive = isRecording_ || monitorInstalled_;
    if (monitorInstalled_) {
        qApp->removeEventFilter(this);
        monitorInstalled_ = false;
    }
    if (isRecording_) {
        isRecording_ = false;
        updateAppearance();
    }
    if (auto end = onEndRecording; wasActive && end)
        end();
}

quint32 ShortcutRecorderField::carbonModifiers(Qt::KeyboardModifiers modifiers) {
    return modifiersForQtModifiers(modifiers &
                                   (Qt::MetaModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier));
}

bool ShortcutRecorderField::handleRecordingEvent(QKeyEvent* event) {
    if (!isRecording_)
        return false;
    const int qtKey = event->key();
    // The physical key (X11 and Wayland report the evdev code plus 8), so the shortcut
    // names the same key whatever the layout; events without one (synthetic) by their Qt key.
    std::optional<quint32> keyCode;
    if (event->nativeScanCode() > 8)
        keyCode = keyCodeForEvdevCode(event->nativeScanCode() - 8);
    else if (!isModifierQtKey(qtKey))
        keyCode = keyCodeForQtKey(qtKey, event->modifiers() & Qt::KeypadModifier);
    if (qtKey == Qt::Key_Escape || keyCode == kEscapeKeyCode) {
        isRecording_ = false;
        updateAppearance();
        stopMonitoring();
        return true;
    }
    const quint32 mask = carbonModifiers(event->modifiers());
    if (mask == 0)
        return true;
    // Modifier keys themselves and keys without a stored code keep the field waiting.
    if (!keyCode || isModifierKeyCode(*keyCode))
        return true;
    const Shortcut recorded{*keyCode, mask};
    if (auto accepts = acceptsShortcut; accepts && !accepts(recorded))
        return true;
    shortcut_ = recorded;
    // The owner may replace the callbacks from inside the call: run a copy.
    if (auto recorded = onShortcutRecorded)
        recorded(shortcut_);
    isRecording_ = false;
    updateAppearance();
    stopMonitoring();
    return true;
}

QString ShortcutRecorderField::labelText() const {
    if (isRecording_)
        return QStringLiteral("新しいキーを入力");
    return shortcut_.isEmpty() ? QStringLiteral("未設定") : shortcut_.displayString();
}

void ShortcutRecorderField::updateAppearance() {
    hintText_ = isRecording_ ? QStringLiteral("Esc で取り消し") : QStringLiteral("クリックして変更");
    setAccessibleName(labelText());
    update();
}

void ShortcutRecorderField::changeEvent(QEvent* event) {
    // The layout may have changed while another window was in front.
    if (event->type() == QEvent::ActivationChange)
        updateAppearance();
    QWidget::changeEvent(event);
}

bool ShortcutRecorderField::event(QEvent* event) {
    if (event->type() == QEvent::KeyboardLayoutChange || event->type() == QEvent::Show)
        updateAppearance();
    return QWidget::event(event);
}

void ShortcutRecorderField::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    beginRecording();
    event->accept();
}

void ShortcutRecorderField::keyPressEvent(QKeyEvent* event) {
    if (!handleRecordingEvent(event))
        QWidget::keyPressEvent(event);
}

void ShortcutRecorderField::focusOutEvent(QFocusEvent* event) {
    stopMonitoring();
    QWidget::focusOutEvent(event);
}

bool ShortcutRecorderField::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        if (event->type() == QEvent::ShortcutOverride) {
            // Keep window shortcuts from firing while recording.
            if (isRecording_) {
                event->accept();
                return true;
            }
            return false;
        }
        return handleRecordingEvent(keyEvent);
    }
    return QObject::eventFilter(watched, event);
}

void ShortcutRecorderField::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QColor background = isRecording_ ? pal.color(QPalette::Highlight) : pal.color(QPalette::Base);
    if (isRecording_)
        background.setAlphaF(0.08f);
    QColor separator = pal.color(QPalette::WindowText);
    separator.setAlphaF(0.18f);
    p.setPen(QPen(isRecording_ ? kSystemBlue : separator, 1));
    p.setBrush(background);
    p.drawRoundedRect(frame, 10, 10);

    const QRectF inset = QRectF(rect()).adjusted(10, 6, -10, -6);
    // Top-down: the label above the hint, the pair centred vertically.
    const double top = inset.center().y() - 18;
    const QRectF labelRect(inset.left(), top, inset.width(), 20);
    const QRectF hintRect(inset.left(), top + 22, inset.width(), 14);

    QFont labelFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    labelFont.setPixelSize(13);
    labelFont.setWeight(QFont::DemiBold);
    p.setFont(labelFont);
    p.setPen(isRecording_ ? kSystemBlue : pal.color(QPalette::WindowText));
    p.drawText(labelRect, Qt::AlignCenter, labelText());

    QFont hintFont = font();
    hintFont.setPixelSize(10);
    hintFont.setWeight(QFont::Medium);
    p.setFont(hintFont);
    QColor tertiary = pal.color(QPalette::WindowText);
    tertiary.setAlphaF(0.45f);
    p.setPen(isRecording_ ? kSystemBlue : tertiary);
    p.drawText(hintRect, Qt::AlignCenter, hintText_);
}

ShortcutRecorder::ShortcutRecorder(Inputs inputs, QWidget* parent)
    : QWidget(parent), field_(new ShortcutRecorderField(this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(field_);
    setInputs(std::move(inputs));
}

void ShortcutRecorder::setInputs(Inputs inputs) {
    field_->onShortcutRecorded = std::move(inputs.onChange);
    field_->onBeginRecording = std::move(inputs.onBeginRecording);
    field_->onEndRecording = std::move(inputs.onEndRecording);
    field_->acceptsShortcut = std::move(inputs.acceptsShortcut);
    field_->setShortcut(inputs.shortcut);
}

} // namespace lumivane
