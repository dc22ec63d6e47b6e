#pragma once
#include <QObject>

namespace lumivane {

// Ends the application's event loop on SIGTERM, SIGINT and SIGHUP (session logout,
// Ctrl+C), so that the normal shutdown runs: the temporary files go with it.
// One per process; UI thread.
class QuitOnSignal : public QObject {
    Q_OBJECT
public:
    explicit QuitOnSignal(QObject* parent = nullptr);
    ~QuitOnSignal() override;
};

} // namespace lumivane
