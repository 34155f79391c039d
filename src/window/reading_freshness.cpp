#include "window/reading_freshness.h"

#include <QDateTime>
#include <QFrame>
#include <QLineEdit>

namespace quorvane {

namespace {

QString ClockText(int64_t atMs) {
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(atMs);
    const bool today = at.date() == QDate::currentDate();
    return at.toString(today ? QStringLiteral("HH:mm:ss") : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString AgoText(int64_t atMs) {
    const int64_t seconds = std::max<int64_t>(0, (QDateTime::currentMSecsSinceEpoch() - atMs) / 1000);
    if (seconds < 60) return QStringLiteral("%1 s ago").arg(seconds);
    if (seconds < 3600) return QStringLiteral("%1 min ago").arg(seconds / 60);
    if (seconds < 2 * 86400) return QStringLiteral("%1 h ago").arg(seconds / 3600);
    return QStringLiteral("%1 days ago").arg(seconds / 86400);
}

// A colour moved most of the way towards the background behind it: a lamp still tells on from
// off and a box's text stays legible, but plainly neither is current (in a dark palette too).
QColor Muted(const QColor& color, const QColor& background) {
    const auto mix = [](int a, int b) { return (2 * a + 3 * b) / 5; };
    return QColor(mix(color.red(), background.red()), mix(color.green(), background.green()),
                  mix(color.blue(), background.blue()));
}

}  // namespace

TReadingFreshness::TReadingFreshness(const std::array<QLineEdit*, kAnalogueReadingCount>& boxes,
                                     QFrame* const (&lamps)[kInputCount])
    : boxes_(boxes) {
    for (int i = 0; i < kInputCount; ++i) lamps_[static_cast<size_t>(i)] = lamps[i];
    for (int index = 0; index < kReadingCount; ++index) {
        descriptions_[static_cast<size_t>(index)] = Widget(index)->accessibleDescription();
    }
    for (size_t row = 0; row < boxes_.size(); ++row) normalText_[row] = boxes_[row]->palette().color(QPalette::Text);
    refresh_.setInterval(kRefreshMs);
    connect(&refresh_, &QTimer::timeout, this, [this] { Show(); });
}

QWidget* TReadingFreshness::Widget(int index) const {
    if (index < kAnalogueReadingCount) return boxes_[static_cast<size_t>(index)];
    return lamps_[static_cast<size_t>(index - kAnalogueReadingCount)];
}

void TReadingFreshness::Record(const TReadingSet& taken, bool succeeded, int64_t startedAtMs) {
    polled_ = true;
    current_ = taken;
    for (int index = 0; index < kReadingCount; ++index) {
        if (taken.test(static_cast<size_t>(index))) takenAtMs_[static_cast<size_t>(index)] = startedAtMs;
    }
    if (succeeded) {
        lastGoodMs_ = startedAtMs;
    } else if (!lastFailed_) {
        failingSinceMs_ = startedAtMs;
    }
    lastFailed_ = !succeeded;
}

void TReadingFreshness::ShowAfterPoll() {
    // The window has just painted each lamp in the colour of its reading.
    for (size_t i = 0; i < lamps_.size(); ++i) lampColors_[i] = lamps_[i]->palette().color(QPalette::Window);
    Show();
}

QString TReadingFreshness::SilenceNote() const {
    if (!lastFailed_) return QString();
    return QStringLiteral("no good poll since ") + ClockText(lastGoodMs_ != 0 ? lastGoodMs_ : failingSinceMs_);
}

QString TReadingFreshness::AgeText(int index) const {
    const int64_t at = takenAtMs_[static_cast<size_t>(index)];
    if (at == 0) return QStringLiteral("No reading yet");
    return QStringLiteral("Old reading, read at %1, %2").arg(ClockText(at), AgoText(at));
}

void TReadingFreshness::Show() {
    bool anyOld = false;
    for (int index = 0; index < kReadingCount; ++index) {
        const bool old = Old(index);
        anyOld = anyOld || old;
        QWidget* widget = Widget(index);
        QPalette palette = widget->palette();
        if (index < kAnalogueReadingCount) {
            const QColor& text = normalText_[static_cast<size_t>(index)];
            palette.setColor(QPalette::Text, old ? Muted(text, palette.color(QPalette::Base)) : text);
        } else {
            const QColor& lit = lampColors_[static_cast<size_t>(index - kAnalogueReadingCount)];
            const QColor background = widget->parentWidget()->palette().color(QPalette::Window);
            palette.setColor(QPalette::Window, old ? Muted(lit, background) : lit);
        }
        widget->setPalette(palette);
    }
    ShowNotes();
    if (anyOld && !refresh_.isActive()) refresh_.start();
    if (!anyOld) refresh_.stop();
}

void TReadingFreshness::ShowNotes() {
    const std::array<QString, kReadingCount> alarms = alarmNotes_ ? alarmNotes_() : std::array<QString, kReadingCount>{};
    for (int index = 0; index < kReadingCount; ++index) {
        const QString note = Old(index) ? AgeText(index) : alarms[static_cast<size_t>(index)];
        QWidget* widget = Widget(index);
        widget->setToolTip(note);
        const QString& name = descriptions_[static_cast<size_t>(index)];
        widget->setAccessibleDescription(note.isEmpty() ? name : note + QStringLiteral(" (") + name + QLatin1Char(')'));
    }
}

}  // namespace quorvane
