#pragma once
#include "shortcuts/Shortcut.h"

#include <QWidget>
#include <functional>

class QKeyEvent;

namespace lumivane {

// A small field that shows a shortcut and, once clicked, records the first
// non-modifier key pressed together with at least one modifier. Esc cancels.
// While recording, every key press of the application goes to the field.
class ShortcutRecorderField : public QWidget {
    Q_OBJECT
public:
    explicit ShortcutRecorderField(QWidget* parent = nullptr);
    ~ShortcutRecorderField() override;

    std::function<void(const Shortcut&)> onShortcutRecorded;
    std::function<void()> onBeginRecording;
    std::function<void()> onEndRecording;
    // Asked before a key is taken; a refused key keeps the field recording.
    std::function<bool(const Shortcut&)> acceptsShortcut;

    const Shortcut& shortcut() const { return shortcut_; }
    void setShortcut(const Shortcut& shortcut);
    bool isRecording() const { return isRecording_; }
    bool isMonitoring() const { return monitorInstalled_; }

    void beginRecording();
    void stopMonitoring();
    // True when the key press was consumed.
    bool handleRecordingEvent(QKeyEvent* event);
    void updateAppearance();
    static quint32 carbonModifiers(Qt::KeyboardModifiers modifiers);

    // The shortcut's label in the keyboard layout active now (not the one it was
    // recorded under), or the recording prompt.
    QString labelText() const;
    QString hintText() const { return hintText_; }
    QSize sizeHint() const override { return {180, 52}; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Shortcut shortcut_{19, 768};
    bool isRecording_ = false;
    bool monitorInstalled_ = false;
    QString hintText_;
};

// Declarative wrapper: owns a field and keeps its inputs up to date.
class ShortcutRecorder : public QWidget {
    Q_OBJECT
public:
    struct Inputs {
        Shortcut shortcut;
        std::function<void(const Shortcut&)> onChange;
        std::function<void()> onBeginRecording;
        std::function<void()> onEndRecording;
        std::function<bool(const Shortcut&)> acceptsShortcut;
    };
    explicit ShortcutRecorder(Inputs inputs, QWidget* parent = nullptr);
    // Copies the inputs again; the shown shortcut is replaced even while recording.
    void setInputs(Inputs inputs);
    ShortcutRecorderField* field() const { return field_; }

private:
    ShortcutRecorderField* field_;
};

} // namespace lumivane
