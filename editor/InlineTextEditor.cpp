#include "editor/InlineTextEditor.h"
#include "editor_model/AnnotationGeometry.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

namespace lumivane {

InlineTextEditor::InlineTextEditor(QWidget* parent) : QPlainTextEdit(parent) {
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setUndoRedoEnabled(true);
    setBackgroundVisible(false);
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

void InlineTextEditor::setStyle(double displayFontSize, const QColor& color) {
    QFont f = TextAnnotationLayout::font(displayFontSize);
    // Font points are view pixels on the canvas.
    f.setPointSizeF(TextAnnotationLayout::effectiveFontSize(displayFontSize) * 72.0 / logicalDpiY());
    if (font() != f) setFont(f);
    QPalette p = palette();
    if (p.color(QPalette::Text) != color) {
        p.setColor(QPalette::Text, color);
        p.setColor(QPalette::Base, Qt::transparent);
        setPalette(p);
    }
}

void InlineTextEditor::setTextIfDifferent(const QString& text) {
    if (toPlainText() != text) setPlainText(text);
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
            // Return confirms the composition only.
            QInputMethodEvent confirm;
            confirm.setCommitString(preedit_);
            inputMethodEvent(&confirm);
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
    QPlainTextEdit::keyPressEvent(event);
}

void InlineTextEditor::inputMethodEvent(QInputMethodEvent* event) {
    preedit_ = event->preeditString();
    QPlainTextEdit::inputMethodEvent(event);
}

void InlineTextEditor::focusOutEvent(QFocusEvent* event) {
    QPlainTextEdit::focusOutEvent(event);
    // Popups (input-method candidate lists, menus) take focus without ending editing.
    if (event->reason() == Qt::PopupFocusReason) return;
    if (!committing_ && onCommit && isVisible()) onCommit();
}

} // namespace lumivane
