#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <memory>

#include "PrivateBus.h"

namespace lumivane::test {

namespace detail {
class FileChooserService;
}

// org.freedesktop.portal.FileChooser (version 3) as the public portal documents
// it, on a private bus of its own (hand busAddress() to a child process as its
// session bus): OpenFile and SaveFile answer through
// org.freedesktop.portal.Request::Response on their request path, as a user who
// chose the URIs the test set. Serves from the thread that made it, so that
// thread must run its event loop while a client waits.
class FakeFileChooserPortal {
public:
    FakeFileChooserPortal();
    ~FakeFileChooserPortal();
    FakeFileChooserPortal(const FakeFileChooserPortal&) = delete;
    FakeFileChooserPortal& operator=(const FakeFileChooserPortal&) = delete;

    bool isRunning() const { return service_ != nullptr; }
    QString errorText() const { return error_; }
    QString busAddress() const { return bus_.address(); }

    // The URIs every later OpenFile and SaveFile answers with, byte strings as
    // the portal sends them ("file:///tmp/caf%E9.png").
    void answerOpenFile(const QStringList& uris);
    void answerSaveFile(const QStringList& uris);

    struct Call {
        QString method; // "OpenFile" or "SaveFile"
        QVariantMap options;
    };
    QList<Call> calls() const;

private:
    PrivateBus bus_;
    QString error_;
    std::unique_ptr<detail::FileChooserService> service_;
};

} // namespace lumivane::test
