#pragma once
// What the desktop session tests check captures with: an image of one colour, the
// screen at a place, and a program run inside the session.
#include "platform/Screens.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QProcess>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

namespace lumivane::test {

// Every pixel of the image has this colour (opaque).
inline ::testing::AssertionResult allPixels(const QImage& image, QRgb colour) {
    const QImage img = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if (row[x] != colour)
                return ::testing::AssertionFailure()
                       << "pixel (" << x << "," << y << ") is " << std::hex << row[x] << ", not " << colour;
    }
    return ::testing::AssertionSuccess();
}

inline std::optional<ScreenInfo> screenAt(const std::vector<ScreenInfo>& screens, QPoint nativeTopLeft) {
    for (const auto& s : screens)
        if (s.nativeGeometry.topLeft() == nativeTopLeft)
            return s;
    return std::nullopt;
}

struct ProgramRun {
    int exitCode = -1;
    QString err;
};

// A program with this environment, events flowing meanwhile (a service of the test's
// own may have to answer it).
inline ProgramRun runProgram(const QProcessEnvironment& env, const QString& program, const QStringList& args) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, args);
    QDeadlineTimer deadline(60000);
    while (process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        process.waitForFinished(10);
    }
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardError())};
}

} // namespace lumivane::test
