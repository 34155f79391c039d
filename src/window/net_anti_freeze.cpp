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
    // The user's input too: the poll watch holds it back, all but what goes to the menu.
    if (ApplicationHasPriority()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    } else {
        QCoreApplication::processEvents(QEventLoop::AllEvents, kShortTurnMs);
    }
}

}  // namespace quorvane
