#include "platform/FileDialogs.h"

#include "core/NativeFileNames.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>
#include <unistd.h>

namespace lumivane {

namespace {

// Only local files: our readers and writers take paths, not remote URLs.
const QStringList localSchemes{QStringLiteral("file")};

// The local path the dialog returned, as it returned it (see localPathFromUrl).
QString returnedPath(const QFileDialog& dialog) {
    const QList<QUrl> urls = dialog.selectedUrls();
    return urls.isEmpty() ? QString() : localPathFromUrl(urls.constFirst());
}

// Dialogs that pass the desktop's URI through (the portal's, KDE's) keep the bytes
// percent-encoded; the others decoded them lossily, which the folder listing undoes.
std::optional<QString> chosenPath(const QFileDialog& dialog) {
    const QString path = returnedPath(dialog);
    if (path.isEmpty())
        return std::nullopt;
    return recoverUndecodedPath(path);
}

// Opens in the folder of `start`, with its name selected when it names no folder.
void startAt(QFileDialog& dialog, const QString& start) {
    if (start.isEmpty())
        return;
    const QFileInfo info(start);
    if (info.isDir()) {
        dialog.setDirectory(info.absoluteFilePath());
    } else {
        dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.fileName());
    }
}

} // namespace

std::optional<QString> chooseFileToSave(QWidget* parent, const QString& start, const QString& filter) {
    QFileDialog dialog(parent, QString(), QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setSupportedSchemes(localSchemes);
    startAt(dialog, start);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QString shown = returnedPath(dialog);
    if (shown.isEmpty())
        return std::nullopt;
    const QString path = recoverUndecodedPath(shown);
    // The dialog asks before replacing a file only when it can see it; one whose name
    // it showed undecoded looked new to it, so the question is asked here.
    if (path != shown && ::access(nativeFileName(path).constData(), F_OK) == 0) {
        const auto answer = QMessageBox::warning(
            parent, QString(),
            QStringLiteral("「%1」はすでに存在します。\n置き換えますか?").arg(QFileInfo(shown).fileName()),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return std::nullopt;
    }
    return path;
}

std::optional<QString> chooseFileToOpen(QWidget* parent, const QString& folder, const QString& filter) {
    QFileDialog dialog(parent, QString(), folder, filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Not ExistingFile: Qt's own dialog would refuse a name it showed undecoded as "not
    // found". A name that truly does not exist is reported by the reader.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setSupportedSchemes(localSchemes);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return chosenPath(dialog);
}

std::optional<QString> chooseFolder(QWidget* parent, const QString& acceptLabel) {
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setSupportedSchemes(localSchemes);
    dialog.setLabelText(QFileDialog::Accept, acceptLabel);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return chosenPath(dialog);
}

} // namespace lumivane
