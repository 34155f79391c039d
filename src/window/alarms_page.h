#pragma once

#include <QWidget>

#include <array>
#include <functional>

#include "monitor/alarm_rules.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace quorvane {

// The "Alarms" page: the nine readings with their low and high limits and an on/off each,
// the unit-silence row, what to watch on each input, and a button that sends a test
// notification. A change the user makes is checked, then handed on whole; a row that does
// not check out keeps its previous rule and says why beside it.
class TAlarmsPage : public QWidget {
public:
    using RulesHandler = std::function<void(const TAlarmRules& rules)>;

    explicit TAlarmsPage(const TAlarmRules& rules, QWidget* parent = nullptr);

    void SetOnRulesChanged(RulesHandler handler) { onRulesChanged_ = std::move(handler); }
    void SetOnTestNotification(std::function<void()> handler) { onTest_ = std::move(handler); }
    const TAlarmRules& Rules() const { return rules_; }
    // The alarms active now, one per line ("" when none), shown above the table.
    void ShowActive(const QString& text);
    // Why a row is not as it should be ("" to clear), beside it until the row is next edited.
    void ShowRowReason(int row, const std::string& reason);
    // Whether notifications arrive (a test's result, a failure until one arrives again).
    void ShowNotificationState(const QString& text);

    QLineEdit* LowEdit(int row) const { return rows_.at(static_cast<size_t>(row)).low; }
    QLineEdit* HighEdit(int row) const { return rows_.at(static_cast<size_t>(row)).high; }
    QCheckBox* RowSwitch(int row) const { return rows_.at(static_cast<size_t>(row)).on; }
    QSpinBox* RowDelay(int row) const { return rows_.at(static_cast<size_t>(row)).delay; }
    QLabel* RowReason(int row) const { return rows_.at(static_cast<size_t>(row)).reason; }
    QCheckBox* SilenceSwitch = nullptr;
    QSpinBox* SilencePolls = nullptr;
    std::array<QComboBox*, kInputCount> InputWatch{};
    QPushButton* TestButton = nullptr;
    QLabel* ActiveLabel = nullptr;
    QLabel* NotificationLabel = nullptr;
    QLineEdit* CommandEdit = nullptr;
    QLabel* CommandReason = nullptr;

private:
    struct Row {
        QCheckBox* on = nullptr;
        QLineEdit* low = nullptr;
        QLineEdit* high = nullptr;
        QSpinBox* delay = nullptr;
        QLabel* reason = nullptr;
    };
    void RowEdited(int row);
    void CommandEdited();
    void Commit(const TAlarmRules& rules);

    TAlarmRules rules_;
    std::array<Row, kAnalogueReadingCount> rows_{};
    RulesHandler onRulesChanged_;
    std::function<void()> onTest_;
};

}  // namespace quorvane
