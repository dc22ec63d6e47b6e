#pragma once
#include <QTextEdit>
#include <functional>

namespace lumivane {

// Plain-text field typed over a text annotation, its lines as far apart as the drawn
// text's (a rich-text edit, since only its layout honours a fixed line height). Return or Enter commits, Shift+Return
// breaks the line, Escape cancels; while an input method is composing, Return and
// Escape belong to the composition. Losing focus commits.
class InlineTextEditor : public QTextEdit {
    Q_OBJECT
public:
    explicit InlineTextEditor(QWidget* parent = nullptr);

    std::function<void()> onCommit;
    std::function<void()> onCancel;

    // The drawn text's font, insets and line pitch (TextAnnotationLayout, in image
    // points) shown at `scale` view pixels per point; text and caret colour.
    void setStyle(double fontSize, double scale, const QColor& color);
    // Replaces the text only if it differs, so the caret stays where it is.
    void setTextIfDifferent(const QString& text);
    bool isComposing() const { return !preedit_.isEmpty(); }
    // Makes text an input method is still composing part of the text (as if
    // confirmed), so ending the editing does not drop it.
    void commitComposition();
    bool isCommitting() const { return committing_; }
    void setCommitting(bool committing) { committing_ = committing; }
    // Focus with the caret at the end and nothing selected.
    void focusAtEnd();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // Gives every block the drawn text's line pitch; new lines inherit it.
    void applyLinePitch();

    QString preedit_;
    double linePitch_ = 0;
    double scale_ = 0;
    bool committing_ = false;
};

} // namespace lumivane
