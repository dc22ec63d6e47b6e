#include "editor/InlineTextEditor.h"
#include "editor_model/AnnotationGeometry.h"

#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <cmath>

namespace lumivane {

InlineTextEditor::InlineTextEditor(QWidget* parent) : QTextEdit(parent) {
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setAcceptRichText(false);
    setUndoRedoEnabled(true);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    document()->setDocumentMargin(0);
    setViewportMargins(int(TextAnnotationLayout::insetX), int(TextAnnotationLayout::insetY),
                       int(TextAnnotationLayout::insetX), int(TextAnnotationLayout::insetY));
    QPalette p = palette();
    p.setColor(QPalette::Base, Qt::transparent);
    setPalette(p);
}

void InlineTextEditor::setStyle(double fontSize, double scale, const QColor& color) {
    if (!(scale > 0) || !std::isfinite(scale))
        scale = 1;
    QFont f = TextAnnotationLayout::font(fontSize);
    // Font points are view pixels on the canvas.
    f.setPointSizeF(TextAnnotationLayout::effectiveFontSize(fontSize) * scale * 72.0 / logicalDpiY());
    if (font() != f) {
        setFont(f);
        document()->setDefaultFont(f);
    }
    if (scale != scale_) {
        scale_ = scale;
        const int insetX = int(std::lround(TextAnnotationLayout::insetX * scale));
        const int insetY = int(std::lround(TextAnnotationLayout::insetY * scale));
        setViewportMargins(insetX, insetY, insetX, insetY);
    }
    const double pitch = QFontMetricsF(f, this).lineSpacing() + TextAnnotationLayout::lineSpacing * scale;
    if (pitch != linePitch_) {
        linePitch_ = pitch;
        applyLinePitch();
    }
    QPalette p = palette();
    if (p.color(QPalette::Text) != color) {
        p.setColor(QPalette::Text, color);
        p.setColor(QPalette::Base, Qt::transparent);
        setPalette(p);
    }
}

void InlineTextEditor::setTextIfDifferent(const QString& text) {
    if (toPlainText() == text)
        return;
    setPlainText(text);
    applyLinePitch();
}

void InlineTextEditor::applyLinePitch() {
    if (linePitch_ <= 0)
        return;
    QTextCursor all(document());
    all.select(QTextCursor::Document);
    QTextBlockFormat pitch;
    pitch.setLineHeight(linePitch_, QTextBlockFormat::FixedHeight);
    all.mergeBlockFormat(pitch);
}

void InlineTextEditor::commitComposition() {
    if (!isComposing())
        return;
    // The input method confirms its text when it can; whatever is still shown as
    // composing is committed here.
    if (hasFocus())
        QGuiApplication::inputMethod()->commit();
    if (!isComposing())
        return;
    QInputMethodEvent confirm;
    confirm.setCommitString(preedit_);
    inputMethodEvent(&confirm);
}

void InlineTextEditor::focusAtEnd() {
    setFocus(Qt::OtherFocusReason);
    QTextCursor c = textCursor();
    c.movePosition(QTextCursor::End);
    c.clearSelection();
    setTextCursor(c);
}

void InlineTextEditor::keyPressEvent(QKeyEvent* event) {
    const bool isReturn = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (isReturn && !(event->modifiers() & Qt::ShiftModifier)) {
        if (isComposing()) {
            commitComposition(); // Return confirms the composition only
        } else if (!committing_ && onCommit) {
            onCommit();
        }
        event->accept();
        return;
    }
    if (isReturn) {
        insertPlainText(QStringLiteral("\n"));
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        if (isComposing()) {
            QInputMethodEvent clear;
            inputMethodEvent(&clear);
        } else if (onCancel) {
            onCancel();
        }
        event->accept();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

void InlineTextEditor::inputMethodEvent(QInputMethodEvent* event) {
    preedit_ = event->preeditString();
    QTextEdit::inputMethodEvent(event);
}

void InlineTextEditor::focusOutEvent(QFocusEvent* event) {
    QTextEdit::focusOutEvent(event);
    // Popups (input-method candidate lists, menus) take focus without ending editing.
    if (event->reason() == Qt::PopupFocusReason)
        return;
    if (!committing_ && onCommit && isVisible())
        onCommit();
}

} // namespace lumivane
