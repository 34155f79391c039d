#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "monitor/poll_outcome.h"

class QAction;
class QEvent;
class QLabel;
class QMenuBar;
class QWidget;

namespace quorvane {

class TNetAntiFreeze;

// What the window does around a poll so that the user sees it is alive and, when the unit is
// not, why: it keeps the window painting while the transport waits (the anti-freeze), holds
// clicks and keys back until the poll has ended so that nothing starts inside it, except on
// the menu, where the way out stays open, shows a busy sign when the poll takes a while, ends
// the poll at once when the window is asked to close, and puts the reason of a failed poll
// into the reason panel.
class TPollWatch : public QObject {
public:
    // A poll shorter than this shows no busy sign: it would only flicker.
    static constexpr int BusyDelayMs = 300;

    // reasonPanel shows the reason in the place of makerNotice, which comes back when the
    // panel is emptied; result (the response code text) takes the reason as its accessible
    // description so that a screen reader says it with the code.
    TPollWatch(QWidget& window, QLabel& reasonPanel, QWidget& makerNotice, QWidget& result);
    ~TPollWatch() override;

    bool Polling() const { return polling_; }
    // The unit the poll asks, for the busy sign; portText as typed, for a reason that says it
    // was not a number (the poll then asks port 80).
    void Begin(const std::string& host, int32_t port, const std::string& portText);
    // Safe to call more than once; a close asked for during the poll follows right after.
    void End();
    // After a failure: the reason, and since when the unit has not answered (silenceNote).
    // After a good poll that follows a failure: when it succeeded (timeText). Before the first
    // failure the panel is left as it is.
    void ShowOutcome(const TPollOutcome& outcome, const QString& timeText, const QString& silenceNote = QString());
    // For the window's close request: true when a poll runs; the poll is then told to give up
    // and the window closes as soon as it has ended.
    bool DeferClose();
    // The window's menu stays usable during a poll with exit as its only enabled item, so that
    // the program can be ended at once with the mouse or the keyboard too.
    void KeepExitUsable(QMenuBar& menuBar, QAction& exit);
    // Any line in the reason panel; empty brings back the maker's notice.
    void ShowInPanel(const QString& text);
    // A one-off notice of the parts beside the poll (history, notifications): shown at once,
    // and kept beside the outcome of the poll that follows, so that the outcome never hides it
    // before it could be read.
    void ShowNotice(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowBusy();
    // Whether a click or key goes to the menu (its bar, an open menu, the keys that open one).
    bool ForTheMenu(const QObject* watched, const QEvent* event) const;

    QWidget& window_;
    QLabel& reasonPanel_;
    QWidget& makerNotice_;
    QWidget& result_;
    std::unique_ptr<TNetAntiFreeze> antiFreeze_;
    QTimer busyTimer_;
    QString waitingText_;
    QString portNote_;
    QString panelBeforeBusy_;
    QString notice_;
    QMenuBar* menuBar_ = nullptr;
    QAction* exit_ = nullptr;
    std::vector<QPointer<QAction>> disabledActions_;
    // The user's clicks and keys of the poll, handed back in order once it has ended.
    std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> heldInput_;
    bool polling_ = false;
    bool busyShown_ = false;
    bool closeRequested_ = false;
    bool failureShown_ = false;
};

}  // namespace quorvane
