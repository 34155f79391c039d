#pragma once

#include <QColor>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <utility>

#include "monitor/readings.h"

class QFrame;
class QLineEdit;
class QWidget;

namespace quorvane {

// Keeps an old reading from passing for a current one. After a poll, every box and lamp whose
// reading that poll did not take is greyed (text greyed, lamp colour muted), and its tooltip
// and accessible description say when the reading it shows was taken ("Old reading, read at
// 14:02:11, 3 min ago"); a poll that takes it again brings the normal look back. Before the
// first poll nothing changes.
class TReadingFreshness : public QObject {
public:
    // How often the "… ago" texts are brought up to date while anything is old.
    static constexpr int kRefreshMs = 30000;

    TReadingFreshness(const std::array<QLineEdit*, kAnalogueReadingCount>& boxes, QFrame* const (&lamps)[kInputCount]);

    // Right after a poll: `taken` are the readings it took.
    void Record(const TReadingSet& taken, bool succeeded, int64_t startedAtMs);
    // Once the window has shown the poll's values and lamps.
    void ShowAfterPoll();
    bool Old(int index) const { return polled_ && !current_.test(static_cast<size_t>(index)); }
    // "no good poll since 14:02:11" after a failed poll; empty otherwise.
    QString SilenceNote() const;
    // What the alarms say of each current reading (by catalogue index), put in its tooltip and
    // description where nothing old is to be said; empty for nothing.
    using AlarmNotes = std::function<std::array<QString, kReadingCount>()>;
    void SetAlarmNotes(AlarmNotes notes) { alarmNotes_ = std::move(notes); }
    // The tooltips and descriptions again, after the alarms changed.
    void ShowNotes();

private:
    void Show();
    QWidget* Widget(int index) const;
    QString AgeText(int index) const;

    std::array<QLineEdit*, kAnalogueReadingCount> boxes_;
    std::array<QFrame*, kInputCount> lamps_{};
    std::array<QString, kReadingCount> descriptions_;  // as the window named them
    std::array<QColor, kAnalogueReadingCount> normalText_;
    std::array<QColor, kInputCount> lampColors_;  // as the window painted them for their reading
    std::array<int64_t, kReadingCount> takenAtMs_{};   // 0: never
    TReadingSet current_;
    int64_t lastGoodMs_ = 0;
    int64_t failingSinceMs_ = 0;
    bool polled_ = false;
    bool lastFailed_ = false;
    QTimer refresh_;
    AlarmNotes alarmNotes_;
};

}  // namespace quorvane
