#include "tcp/net_connect_thread.h"

#include <exception>

#include "rtl/exception.h"

namespace quorvane {

TNetConnectThread::~TNetConnectThread() { WaitFor(); }

void TNetConnectThread::Start() {
    if (!thread_.joinable()) {
        thread_ = std::thread([this] { Execute(); });
    }
}

bool TNetConnectThread::Finished() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return finished_;
}

bool TNetConnectThread::WaitFinished(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return finishedSignal_.wait_for(lock, limit, [this] { return finished_; });
}

void TNetConnectThread::WaitFor() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void TNetConnectThread::Execute() {
    std::string failure;
    try {
        const int32_t result = targetSocket_->ConnectRemote(NetAddressFamilyIPv4);
        // A socket released under the connect (the caller gave up) is no failure of its own.
        SocketStack->CheckSocketResult(result, {NetErrorBadFile, NetErrorNotSocket});
    } catch (const Exception& error) {
        failure = error.Message();
    } catch (const std::exception& error) {
        failure = error.what();
    } catch (...) {
        failure = "Connect failed.";
    }
    std::lock_guard<std::mutex> lock(mutex_);
    failureText_ = std::move(failure);
    finished_ = true;
    terminated_.store(true);
    finishedSignal_.notify_all();
}

}  // namespace quorvane
