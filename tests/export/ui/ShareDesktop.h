#pragma once
// A private desktop for the share tests: desktop entries and MIME defaults under
// one directory, installed into the environment before GIO or Qt read it. The
// fake applications record their arguments in files.
#include <QString>

namespace lumivane::test {

struct ShareDesktop {
    QString root;
    QString recordFolder;  // "<app>.args" per launched application
    QString vanishingTool; // executable of "Vanishing Tool"; delete it to make its launch fail

    // Arguments the application was started with, once it has run.
    QStringList recordedArguments(const QString& app) const;
};

const ShareDesktop& shareDesktop();

} // namespace lumivane::test
