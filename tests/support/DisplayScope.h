#pragma once
#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace lumivane::test {

// Points DISPLAY at another X server for one test, restoring it afterwards.
class DisplayScope {
public:
    explicit DisplayScope(const QString& display) : saved_(qgetenv("DISPLAY")) {
        qputenv("DISPLAY", display.toLocal8Bit());
    }
    ~DisplayScope() { qputenv("DISPLAY", saved_); }
    DisplayScope(const DisplayScope&) = delete;
    DisplayScope& operator=(const DisplayScope&) = delete;

private:
    QByteArray saved_;
};

} // namespace lumivane::test
