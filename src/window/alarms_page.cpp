#include "window/alarms_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

#include "platform/gui/application.h"
#include "platform/gui/focus_wheel_filter.h"

namespace quorvane {

namespace {

QString Utf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QLineEdit* LimitEdit(QWidget* parent, const std::optional<TAlarmLimit>& limit, const QString& name) {
    auto* edit = new QLineEdit(limit ? Utf8(limit->Text) : QString(), parent);
    edit->setFixedWidth(56);
    edit->setAlignment(Qt::AlignCenter);
    edit->setAccessibleName(name);
    return edit;
}

}  // namespace

TAlarmsPage::TAlarmsPage(const TAlarmRules& rules, QWidget* parent) : QWidget(parent), rules_(rules) {
    setObjectName(QStringLiteral("TabSheetAlarms"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    outer->setSpacing(2);

    auto* top = new QHBoxLayout();
    ActiveLabel = new QLabel(this);
    ActiveLabel->setObjectName(QStringLiteral("AlarmsActive"));
    ActiveLabel->setWordWrap(true);
    ActiveLabel->setTextFormat(Qt::PlainText);
    ActiveLabel->setStyleSheet(QStringLiteral("color: #c00000;"));
    top->addWidget(ActiveLabel, 1);
    TestButton = new QPushButton(QStringLiteral("Test notification"), this);
    TestButton->setObjectName(QStringLiteral("AlarmsTest"));
    top->addWidget(TestButton);
    outer->addLayout(top);
    NotificationLabel = new QLabel(this);
    NotificationLabel->setObjectName(QStringLiteral("AlarmsNotifications"));
    NotificationLabel->setWordWrap(true);
    NotificationLabel->setTextFormat(Qt::PlainText);
    NotificationLabel->hide();
    outer->addWidget(NotificationLabel);
    connect(TestButton, &QPushButton::clicked, this, [this] {
        platform::RunHandler([this] {
            if (onTest_) onTest_();
        });
    });

    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    // A turn of the wheel over the table scrolls it; it never rewrites a rule on its way.
    auto* wheelFilter = new platform::TFocusWheelFilter(*scroll);
    auto* table = new QWidget(scroll);
    auto* stack = new QVBoxLayout(table);
    stack->setContentsMargins(0, 0, 0, 0);
    auto* grid = new QGridLayout();
    stack->addLayout(grid);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(1);
    int line = 0;
    const char* const headers[] = {"On", "Reading", "Low", "High", "Polls"};
    for (int column = 0; column < 5; ++column) {
        grid->addWidget(new QLabel(QString::fromLatin1(headers[column]), table), line, column);
    }
    ++line;
    for (int row = 0; row < kAnalogueReadingCount; ++row, ++line) {
        const TReadingLimits& limits = rules_.Readings[static_cast<size_t>(row)];
        const TReading& reading = Readings()[static_cast<size_t>(row)];
        const QString label = Utf8(reading.Label());
        Row& controls = rows_[static_cast<size_t>(row)];
        controls.on = new QCheckBox(table);
        controls.on->setChecked(limits.Enabled);
        controls.on->setAccessibleName(label + QStringLiteral(" alarm on"));
        controls.low = LimitEdit(table, limits.Low, label + QStringLiteral(" low limit"));
        controls.high = LimitEdit(table, limits.High, label + QStringLiteral(" high limit"));
        controls.delay = new QSpinBox(table);
        controls.delay->setRange(1, TReadingLimits::kMaxDelay);
        controls.delay->setValue(limits.Delay);
        controls.delay->setAccessibleName(label + QStringLiteral(" polls beyond a limit before the alarm"));
        controls.delay->setToolTip(QStringLiteral("Polls in a row beyond a limit before the alarm starts"));
        wheelFilter->Guard(*controls.delay);
        controls.reason = new QLabel(table);
        controls.reason->setTextFormat(Qt::PlainText);  // quotes what was typed
        controls.reason->setStyleSheet(QStringLiteral("color: #c00000;"));
        grid->addWidget(controls.on, line, 0);
        grid->addWidget(new QLabel(label + QStringLiteral(" (") + Utf8(reading.Group->Unit) + ')', table), line, 1);
        grid->addWidget(controls.low, line, 2);
        grid->addWidget(controls.high, line, 3);
        grid->addWidget(controls.delay, line, 4);
        grid->addWidget(controls.reason, line, 5);
        connect(controls.delay, &QSpinBox::editingFinished, this, [this, row] { RowEdited(row); });
        connect(controls.low, &QLineEdit::editingFinished, this, [this, row] { RowEdited(row); });
        connect(controls.high, &QLineEdit::editingFinished, this, [this, row] { RowEdited(row); });
        connect(controls.on, &QCheckBox::clicked, this, [this, row] { RowEdited(row); });
    }

    SilenceSwitch = new QCheckBox(table);
    SilenceSwitch->setChecked(rules_.SilenceEnabled);
    SilenceSwitch->setAccessibleName(QStringLiteral("Unit silent alarm on"));
    SilencePolls = new QSpinBox(table);
    SilencePolls->setRange(1, 1000);
    SilencePolls->setValue(rules_.SilencePolls);
    SilencePolls->setAccessibleName(QStringLiteral("Failed polls before the unit counts as silent"));
    wheelFilter->Guard(*SilencePolls);
    grid->addWidget(SilenceSwitch, line, 0);
    grid->addWidget(new QLabel(QStringLiteral("Unit silent"), table), line, 1);
    grid->addWidget(SilencePolls, line, 2);
    grid->addWidget(new QLabel(QStringLiteral("failed polls in a row"), table), line, 3, 1, 3);
    const auto silenceEdited = [this] {
        TAlarmRules rules = rules_;
        rules.SilenceEnabled = SilenceSwitch->isChecked();
        rules.SilencePolls = SilencePolls->value();
        Commit(rules);
    };
    connect(SilenceSwitch, &QCheckBox::clicked, this, silenceEdited);
    connect(SilencePolls, &QSpinBox::editingFinished, this, silenceEdited);

    grid->setColumnStretch(6, 1);

    // The inputs, two to a line: what to watch on each.
    auto* inputs = new QGridLayout();
    stack->addLayout(inputs);
    stack->addStretch(1);
    inputs->setContentsMargins(0, 6, 0, 0);
    inputs->setHorizontalSpacing(6);
    inputs->setVerticalSpacing(1);
    const QStringList watches = {QStringLiteral("-"), QStringLiteral("on change"), QStringLiteral("when on"),
                                 QStringLiteral("when off")};
    for (int index = 0; index < kInputCount; ++index) {
        const int at = index / 2;
        const int left = index % 2 == 0 ? 0 : 2;
        auto* combo = new QComboBox(table);
        combo->addItems(watches);
        combo->setCurrentIndex(static_cast<int>(rules_.Inputs[static_cast<size_t>(index)]));
        const QString label = Utf8(ReadingOf(TReadingGroup::Input, index + 1).Label());
        combo->setAccessibleName(label + QStringLiteral(" alarm"));
        wheelFilter->Guard(*combo);
        inputs->addWidget(new QLabel(label, table), at, left);
        inputs->addWidget(combo, at, left + 1);
        InputWatch[static_cast<size_t>(index)] = combo;
        connect(combo, &QComboBox::activated, this, [this, index](int chosen) {
            TAlarmRules rules = rules_;
            rules.Inputs[static_cast<size_t>(index)] = static_cast<TInputWatch>(chosen);
            Commit(rules);
        });
    }
    inputs->setColumnStretch(4, 1);

    // The program run at each start and end of an alarm.
    auto* command = new QGridLayout();
    stack->insertLayout(stack->count() - 1, command);
    command->setContentsMargins(0, 6, 0, 0);
    auto* commandLabel = new QLabel(QStringLiteral("Command"), table);
    CommandEdit = new QLineEdit(QFile::decodeName(QByteArray::fromStdString(rules_.Command)), table);
    CommandEdit->setObjectName(QStringLiteral("AlarmsCommand"));
    CommandEdit->setAccessibleName(QStringLiteral("Command run at each start and end of an alarm"));
    CommandEdit->setToolTip(QStringLiteral("The full path of a program, run without a shell; the alarm is in its "
                                           "environment (QUORVANE_ALARM, QUORVANE_STATE, QUORVANE_VALUE, ...)"));
    CommandEdit->setPlaceholderText(QStringLiteral("/full/path/of/a/program"));
    commandLabel->setBuddy(CommandEdit);
    CommandReason = new QLabel(table);
    CommandReason->setStyleSheet(QStringLiteral("color: #c00000;"));
    CommandReason->setTextFormat(Qt::PlainText);
    command->addWidget(commandLabel, 0, 0);
    command->addWidget(CommandEdit, 0, 1);
    command->addWidget(CommandReason, 1, 1);
    connect(CommandEdit, &QLineEdit::editingFinished, this, [this] { CommandEdited(); });
    scroll->setWidget(table);
    outer->addWidget(scroll, 1);
}

void TAlarmsPage::ShowActive(const QString& text) { ActiveLabel->setText(text); }

void TAlarmsPage::ShowNotificationState(const QString& text) {
    NotificationLabel->setText(text);
    NotificationLabel->setAccessibleDescription(text);
    NotificationLabel->setVisible(!text.isEmpty());
}

void TAlarmsPage::CommandEdited() {
    const QString typed = CommandEdit->text().trimmed();
    const bool absolute = typed.isEmpty() || typed.startsWith(QLatin1Char('/'));
    const QString reason = absolute ? QString() : QStringLiteral("a full path, starting with /");
    CommandReason->setText(reason);
    CommandReason->setAccessibleName(reason);
    if (!absolute) return;
    TAlarmRules rules = rules_;
    rules.Command = QFile::encodeName(typed).toStdString();
    Commit(rules);
}

void TAlarmsPage::RowEdited(int row) {
    Row& controls = rows_[static_cast<size_t>(row)];
    TAlarmRules rules = rules_;
    TReadingLimits& limits = rules.Readings[static_cast<size_t>(row)];
    limits.Enabled = controls.on->isChecked();
    limits.Delay = controls.delay->value();
    const std::string reason = ParseReadingLimits(controls.low->text().toStdString(),
                                                  controls.high->text().toStdString(), limits);
    ShowRowReason(row, reason);
    if (reason.empty()) Commit(rules);
}

void TAlarmsPage::ShowRowReason(int row, const std::string& reason) {
    QLabel* label = rows_.at(static_cast<size_t>(row)).reason;
    label->setText(Utf8(reason));
    label->setAccessibleName(Utf8(reason));
}

void TAlarmsPage::Commit(const TAlarmRules& rules) {
    // Leaving a box without changing it is no change: the settings file stays untouched.
    if (rules == rules_) return;
    rules_ = rules;
    platform::RunHandler([this] {
        if (onRulesChanged_) onRulesChanged_(rules_);
    });
}

}  // namespace quorvane
