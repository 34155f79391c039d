#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace quorvane::platform {

// Turns SIGTERM, which a desktop session sends its programs when it ends, into a call on the
// user-interface thread, so that the program can close its window the ordinary way (and save
// what it saves on closing) instead of dying on the spot. One object per process; the signal
// takes its default action again when the object goes.
class TTerminationRequest : public QObject {
public:
    explicit TTerminationRequest(std::function<void()> onRequest);
    ~TTerminationRequest() override;
    TTerminationRequest(const TTerminationRequest&) = delete;
    TTerminationRequest& operator=(const TTerminationRequest&) = delete;

private:
    std::function<void()> onRequest_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace quorvane::platform
