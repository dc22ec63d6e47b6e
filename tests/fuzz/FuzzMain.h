#pragma once
// Shared set-up of the fuzz targets: a Qt application on the offscreen platform
// (fonts and image plugins need one), created once.
#include <QGuiApplication>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int qtArgc = 1;
    static char name[] = "lumivane-fuzz";
    static char* qtArgv[] = {name, nullptr};
    static QGuiApplication* app = new QGuiApplication(qtArgc, qtArgv);
    (void)app;
    (void)argc;
    (void)argv;
    return 0;
}
