#pragma once
#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStackedLayout;

namespace lumivane {

// The small window of one text recognition: a busy bar with a cancel button while
// it runs, then the text (selectable and editable) with a copy button, or the reason
// it failed (what to install when the language data is missing).
class TextResultWindow : public QWidget {
    Q_OBJECT
public:
    explicit TextResultWindow(QWidget* parent = nullptr);

    static QString windowTitleText() { return QStringLiteral("読み取ったテキスト"); }

    void showReading();
    void showText(const QString& text);
    void showFailure(const QString& message);
    // The text as the user left it (edited or not).
    QString text() const;
    // The copy button says so for a moment.
    void noteCopied();

signals:
    void cancelRequested();
    void copyRequested(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QStackedLayout* pages_;
    QWidget *readingPage_, *textPage_, *failurePage_;
    QProgressBar* progress_;
    QPlainTextEdit* editor_;
    QPushButton* copy_;
    QLabel* failure_;
};

} // namespace lumivane
