#include "app/QtClipboardWriter.h"
#include "export/ClipboardImageWriter.h"

#include <QBuffer>
#include <QClipboard>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QLoggingCategory>

namespace lumivane {

namespace {

Q_LOGGING_CATEGORY(lcClipboard, "lumivane.clipboard")

} // namespace

// When a window of ours last received a press: the compositor takes our own clipboard
// offer only with the serial of a recent press (wlroots) and while we hold the keyboard
// focus (GNOME, KDE); a focus gained without a press gives Qt no serial to offer with.
class PressWatch : public QObject {
public:
    PressWatch() { QCoreApplication::instance()->installEventFilter(this); }
    bool recent() const { return last_.isValid() && last_.elapsed() < kRecentMs; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::KeyPress:
        case QEvent::TouchBegin:
        case QEvent::TabletPress:
            if (watched->isWindowType())
                last_.start();
            break;
        default:
            break;
        }
        return false;
    }

private:
    // A copy starts at most a few seconds after its click (the PNG is encoded first).
    static constexpr qint64 kRecentMs = 10000;
    QElapsedTimer last_;
};

QtClipboardWriter::QtClipboardWriter(std::shared_ptr<const DesktopBackend> desktop) : desktop_(std::move(desktop)) {
    if (desktop_ && desktop_->offerClipboardWithoutFocus && QCoreApplication::instance())
        pressWatch_ = std::make_shared<PressWatch>();
}

bool QtClipboardWriter::offersItself() const {
    if (!pressWatch_)
        return true;
    return QGuiApplication::focusWindow() && pressWatch_->recent();
}

void QtClipboardWriter::clear() {
    if (offersItself())
        QGuiApplication::clipboard()->clear();
}

bool QtClipboardWriter::offerWithoutFocus(const QByteArray& png) {
    if (const auto failure = desktop_->offerClipboardWithoutFocus(png, QStringLiteral("image/png"))) {
        qCWarning(lcClipboard, "The desktop did not take the copy: %s", qPrintable(*failure));
        return false;
    }
    return true;
}

bool QtClipboardWriter::write(const std::optional<QString>& filePath, const std::optional<QByteArray>& png) {
    if (!offersItself())
        return png && offerWithoutFocus(*png);
    const ClipboardImageWriter writer(filePath ? std::optional<QUrl>(QUrl::fromLocalFile(*filePath)) : std::nullopt,
                                      png);
    auto data = writer.mimeData();
    if (!data)
        return false;
    QGuiApplication::clipboard()->setMimeData(data.release());
    return true;
}

bool QtClipboardWriter::writeImage(const ImageRef& image) {
    if (!image)
        return false;
    if (!offersItself()) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        return image->save(&buffer, "PNG") && offerWithoutFocus(png);
    }
    QGuiApplication::clipboard()->setImage(*image);
    return true;
}

} // namespace lumivane
