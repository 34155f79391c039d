#include "window/net_anti_freeze.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace quorvane {

namespace {

// Without priority the toolkit gets a short turn, not everything it has queued.
constexpr int kShortTurnMs = 10;

}  // namespace

void TNetAntiFreeze::Process() {
    if (QCoreApplication::instance() == nullptr) return;
    if (ApplicationHasPriority()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    } else {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, kShortTurnMs);
    }
}

}  // namespace quorvane
