#pragma once
#include <QApplication>
#include <QString>
#include <QWidget>

namespace lumivane::test {

// The visible top-level window with that title, if any.
inline QWidget* visibleWindow(const QString& title) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == title)
            return w;
    return nullptr;
}

} // namespace lumivane::test
