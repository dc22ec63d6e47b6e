#pragma once
// Answers the next message box that appears, from the event loop of the code under
// test (which shows it modally).
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <functional>

namespace lumivane::test {

// Clicks the button `choose` picks in the next message box; waits while it picks none.
// `text`, if given, receives the box's text.
inline void answerNextMessageBox(std::function<QAbstractButton*(QMessageBox&)> choose, QString* text = nullptr) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, choose, text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QAbstractButton* button = box ? choose(*box) : nullptr;
        if (!button)
            return;
        poll->deleteLater();
        if (text)
            *text = box->text();
        button->click();
    });
    poll->start(50);
}

inline void answerNextMessageBox(QMessageBox::StandardButton button, QString* text = nullptr) {
    answerNextMessageBox([button](QMessageBox& box) { return box.button(button); }, text);
}

inline void answerNextMessageBox(const QString& buttonText, QString* text = nullptr) {
    answerNextMessageBox(
        [buttonText](QMessageBox& box) -> QAbstractButton* {
            for (QAbstractButton* b : box.buttons())
                if (b->text() == buttonText)
                    return b;
            return nullptr;
        },
        text);
}

} // namespace lumivane::test
