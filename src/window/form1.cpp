#include "window/form1.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>
#include <QValidator>

#include <cstdio>

#include "history/history_recorder.h"
#include "window/alarm_monitor.h"
#include "window/history_page.h"
#include "window/poll_watch.h"
#include "monitor/ini_settings.h"
#include "monitor/sensor_poll.h"
#include "platform/gui/application.h"
#include "platform/gui/dialogs.h"
#include "platform/gui/gui_text.h"
#include "platform/gui/password_style.h"
#include "platform/gui/shell.h"
#include "platform/gui/static_text.h"
#include "platform/locale_text.h"
#include "rtl/date_time.h"

namespace quorvane {

using platform::ToQString;

std::string SettingsFileName;
std::string SettingsSectionName;

const char* const MakerNotice = "Quorvane - a sensor-unit monitor by the Quorvane developers";
const char* const MakerHomePage = "https://www.example.com/quorvane/";
const char* const UnitMakerHomePage = "https://www.example.com/sensor-unit/";

void InitializeMonitorWindowUnit() {
    PollCount = 0;
    ErrorCount = 0;
}

void FinalizeMonitorWindowUnit() {
    SettingsFileName.clear();
    SettingsSectionName.clear();
}

namespace {

const char* const kCaption = "Quorvane Ver.0.1";
const QColor kLime(0, 255, 0);
const QColor kSilver(192, 192, 192);

// Names the control for a screen reader (what it announces) and, since the toolkit does not
// publish object names to accessibility tools, also as its description.
void Name(QWidget* widget, const char* componentName, const QString& accessibleName) {
    widget->setObjectName(QString::fromLatin1(componentName));
    widget->setAccessibleDescription(QString::fromLatin1(componentName));
    widget->setAccessibleName(accessibleName);
}

QLabel* MakeLabel(QWidget* parent, const QString& text, int x, int y, int width, int height,
                  Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(x, y, width, height);
    label->setAlignment(alignment);
    return label;
}

// A one-line, centred reading box; reading and count boxes are left out of the tab order.
QLineEdit* MakeBox(QWidget* parent, const char* name, const QString& accessibleName, int x, int y,
                   const char* text, bool tabStop) {
    auto* box = new QLineEdit(QString::fromLatin1(text), parent);
    box->setGeometry(x, y, 57, 21);
    box->setAlignment(Qt::AlignCenter);
    box->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
    Name(box, name, accessibleName);
    return box;
}

// A settings box with its caption, which is also its accessible name.
QLineEdit* MakeEdit(QWidget* parent, const char* name, const QString& label, int y, const std::string& text) {
    QLabel* caption = MakeLabel(parent, label, 8, y, 70, 21);
    auto* edit = new QLineEdit(ToQString(text), parent);
    edit->setGeometry(80, y, 100, 21);
    Name(edit, name, label);
    caption->setBuddy(edit);
    return edit;
}

// "hh : mm : ss" with the regional time separator in place of each ":".
std::string TimeText() {
    int32_t hour = 0, minute = 0, second = 0, millisecond = 0;
    DecodeTime(Now(), hour, minute, second, millisecond);
    const std::string separator = platform::TimeSeparator();
    char buffer[8];
    auto two = [&](int32_t number) {
        std::snprintf(buffer, sizeof buffer, "%02d", static_cast<int>(number));
        return std::string(buffer);
    };
    return two(hour) + " " + separator + " " + two(minute) + " " + separator + " " + two(second);
}

// Limits what the user types to a number of characters, but not what the program sets: the
// toolkit's own length limit would cut a longer password loaded from the settings file, and
// the cut one would be saved back at exit.
class TTypedLengthValidator : public QValidator {
public:
    TTypedLengthValidator(int maxLength, QObject* parent) : QValidator(parent), maxLength_(maxLength) {}
    State validate(QString& input, int& /*position*/) const override {
        return input.size() <= maxLength_ ? Acceptable : Invalid;
    }

private:
    int maxLength_;
};

platform::TPasswordCharStyle* PasswordStyle() {
    // One style object for the process; the toolkit does not take ownership of a widget style.
    static platform::TPasswordCharStyle* style = [] {
        auto* made = new platform::TPasswordCharStyle();
        made->setParent(qApp);
        return made;
    }();
    return style;
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent), poll_(PollUnit) {
    BuildControls();
    pollWatch_ = std::make_unique<TPollWatch>(*this, *ReasonPanel, *StatusBar1Panel, *StResult);
    platform::RunHandler([this] { FormCreate(); });
    Alarms = std::make_unique<TAlarmMonitor>(*this);
}

TForm1::~TForm1() {
    platform::RunHandler([this] { FormDestroy(); });
}

void TForm1::BuildControls() {
    setObjectName(QStringLiteral("Form1"));
    setAccessibleName(QString::fromLatin1(kCaption));
    setAccessibleDescription(QStringLiteral("Form1"));

    QFont font;
    font.setFamilies({QString::fromUtf8("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic")});
    font.setPixelSize(13);
    setFont(font);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    setAutoFillBackground(true);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    // Menu.
    FileF1 = menuBar()->addMenu(QStringLiteral("File(&F)"));
    Name(FileF1, "FileF1", QStringLiteral("File"));
    CloseX1 = FileF1->addAction(QStringLiteral("Exit(&X)"));
    CloseX1->setObjectName(QStringLiteral("CloseX1"));
    BrenwickHomepage1 = menuBar()->addMenu(QStringLiteral("HP(&H)"));
    Name(BrenwickHomepage1, "BrenwickHomepage1", QStringLiteral("Home pages"));
    Brenwick1 = BrenwickHomepage1->addAction(QStringLiteral("Brenwick"));
    Brenwick1->setObjectName(QStringLiteral("Brenwick1"));
    Tessivo1 = BrenwickHomepage1->addAction(QStringLiteral("Tessivo"));
    Tessivo1->setObjectName(QStringLiteral("Tessivo1"));
    connect(CloseX1, &QAction::triggered, this, [this] { platform::RunHandler([this] { CloseX1Click(); }); });
    connect(Brenwick1, &QAction::triggered, this, [this] { platform::RunHandler([this] { Brenwick1Click(); }); });
    connect(Tessivo1, &QAction::triggered, this, [this] { platform::RunHandler([this] { Tessivo1Click(); }); });

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(473, 404);
    setCentralWidget(client);

    // Settings area.
    GroupBox6 = new QGroupBox(client);
    GroupBox6->setGeometry(4, 2, 465, 161);
    Name(GroupBox6, "GroupBox6", QStringLiteral("Settings"));
    const TUnitSettings defaults;
    Edit1 = MakeEdit(GroupBox6, "Edit1", QStringLiteral("IP Address"), 18, defaults.Address);
    Edit2 = MakeEdit(GroupBox6, "Edit2", QStringLiteral("HTTP Port"), 45, defaults.Port);
    Edit3 = MakeEdit(GroupBox6, "Edit3", QStringLiteral("User Name"), 72, defaults.UserName);
    Edit4 = MakeEdit(GroupBox6, "Edit4", QStringLiteral("Password"), 99, defaults.Password);
    Edit4->setValidator(new TTypedLengthValidator(8, Edit4));
    Edit4->setEchoMode(QLineEdit::Password);
    Edit4->setStyle(PasswordStyle());

    SpeedButton1 = new QToolButton(GroupBox6);
    SpeedButton1->setText(QStringLiteral("Get Status"));
    SpeedButton1->setCheckable(true);
    SpeedButton1->setGeometry(8, 128, 84, 26);
    Name(SpeedButton1, "SpeedButton1", QStringLiteral("Get Status"));
    // On every change of state, not only on a click: a screen reader's toggle action changes
    // the state without one.
    connect(SpeedButton1, &QToolButton::toggled, this, [this] { platform::RunHandler([this] { SpeedButton1Click(); }); });
    SpeedButton2 = new QToolButton(GroupBox6);
    SpeedButton2->setText(QStringLiteral("Web Control"));
    SpeedButton2->setGeometry(96, 128, 84, 26);
    Name(SpeedButton2, "SpeedButton2", QStringLiteral("Web Control"));
    connect(SpeedButton2, &QToolButton::clicked, this, [this] { platform::RunHandler([this] { SpeedButton2Click(); }); });

    GroupBox7 = new QGroupBox(GroupBox6);
    GroupBox7->setGeometry(186, 10, 273, 146);
    Name(GroupBox7, "GroupBox7", QStringLiteral("Time limits and interval"));
    struct SpinnerLayout {
        const char* boxName;
        const char* spinnerName;
        const char* label;
        int y;
        int32_t TUnitSettings::* setting;
    };
    const SpinnerLayout layouts[] = {
        {"Memo2", "UDCt", "Connect Timeout", 8, &TUnitSettings::ConnectTimeout},
        {"Memo1", "UDRt", "Read Timeout", 52, &TUnitSettings::ReadTimeout},
        {"MemoInt", "UDInt", "Interval", 96, &TUnitSettings::Interval},
    };
    QLineEdit** boxes[] = {&Memo2, &Memo1, &MemoInt};
    platform::TUpDown** spinners[] = {&UDCt, &UDRt, &UDInt};
    for (int i = 0; i < 3; ++i) {
        const SpinnerLayout& layout = layouts[i];
        const TUnitSettingKey& key = UnitSettingKeyOf(layout.setting);
        const QString label = QString::fromLatin1(layout.label);
        QLabel* caption = MakeLabel(GroupBox7, label, 8, layout.y + 6, 110, 16);
        QLineEdit* box = MakeBox(GroupBox7, layout.boxName, label + QStringLiteral(" (seconds)"), 8, layout.y + 22, "", true);
        auto* spinner = new platform::TUpDown(box, GroupBox7);
        spinner->setGeometry(65, layout.y + 22, 16, 21);
        Name(spinner, layout.spinnerName, label + QStringLiteral(" spinner"));
        spinner->SetRange(static_cast<int16_t>(key.Lowest), static_cast<int16_t>(key.Highest));
        spinner->SetIncrement(1);
        spinner->SetPosition(static_cast<int16_t>(defaults.*layout.setting));
        MakeLabel(GroupBox7, QStringLiteral("Sec"), 85, layout.y + 22, 24, 21);
        caption->setBuddy(box);
        *boxes[i] = box;
        *spinners[i] = spinner;
    }
    UDInt->SetOnChangingEx([this](platform::TUpDown&, bool& allowChange, int16_t newValue,
                                  platform::TUpDownDirection direction) {
        UDIntChangingEx(allowChange, newValue, direction);
    });
    UDInt->SetApplyTypedOnEditingFinished(true);

    StResult = new platform::TStaticText(GroupBox7);
    StResult->setGeometry(104, 26, 165, 29);
    StResult->setAlignment(Qt::AlignCenter);
    StResult->SetCaption(QStringLiteral("Response Code"));
    Name(StResult, "StResult", QStringLiteral("Response Code"));
    StResult->setFrameShape(QFrame::Panel);
    StResult->setFrameShadow(QFrame::Sunken);

    // Status area.
    PageControl1 = new QTabWidget(client);
    PageControl1->setGeometry(4, 167, 465, 233);
    Name(PageControl1, "PageControl1", QStringLiteral("Status pages"));
    TabSheet1 = new QWidget();
    Name(TabSheet1, "TabSheet1", QStringLiteral("Status"));
    PageControl1->addTab(TabSheet1, QStringLiteral("Status"));
    HistoryPage = new THistoryPage();
    PageControl1->addTab(HistoryPage, QStringLiteral("History"));

    GroupBox1 = new QGroupBox(QString::fromUtf8(ReadingGroup(TReadingGroup::Input).Caption), TabSheet1);
    GroupBox1->setGeometry(6, 4, 220, 98);
    Name(GroupBox1, "GroupBox1", QStringLiteral("Digital inputs"));
    for (int i = 0; i < 16; ++i) {
        const int column = i % 8;
        const bool upper = i < 8;
        const int x = 14 + 24 * column;
        auto* lamp = new QFrame(GroupBox1);
        lamp->setGeometry(x, upper ? 36 : 58, 19, 19);
        lamp->setFrameShape(QFrame::Box);
        lamp->setAutoFillBackground(true);
        char name[8];
        std::snprintf(name, sizeof name, "D_%02d", i + 1);
        Name(lamp, name, QString());
        D[i] = lamp;
        ShowLamp(i + 1, std::string());
        MakeLabel(GroupBox1, QString::number(i + 1), x - 2, upper ? 20 : 78, 23, 15, Qt::AlignCenter);
    }

    GBCount = new QGroupBox(QStringLiteral(" Count "), TabSheet1);
    GBCount->setGeometry(6, 106, 220, 92);
    Name(GBCount, "GBCount", QStringLiteral("Count (double-click to reset)"));
    GBCount->installEventFilter(this);
    MakeLabel(GBCount, QStringLiteral("Get"), 14, 26, 40, 21);
    MemoInterval = MakeBox(GBCount, "MemoInterval", QStringLiteral("Poll count"), 60, 26, "0", false);
    MakeLabel(GBCount, QStringLiteral("Error"), 14, 56, 40, 21);
    MemoError = MakeBox(GBCount, "MemoError", QStringLiteral("Error count"), 60, 56, "0", false);

    // The analogue groups in catalogue order, top to bottom.
    struct GroupLayout {
        QGroupBox** group;
        const char* groupName;
        int y;
        QLineEdit** boxes[3];
        const char* boxNames[3];
        const char* initial;
    };
    const GroupLayout groups[] = {
        {&GroupBox3, "GroupBox3", 4, {&Memo10, &Memo11, &Memo12}, {"Memo10", "Memo11", "Memo12"}, ""},
        {&GroupBox2, "GroupBox2", 70, {&Memo4, &Memo5, &Memo6}, {"Memo4", "Memo5", "Memo6"}, "0"},
        {&GroupBox4, "GroupBox4", 136, {&Memo7, &Memo8, &Memo9}, {"Memo7", "Memo8", "Memo9"}, "0"},
    };
    for (const TReadingGroupInfo& info : ReadingGroups()) {
        if (!info.Analogue()) continue;
        const GroupLayout& entry = groups[static_cast<size_t>(info.Group)];
        auto* group = new QGroupBox(QString::fromUtf8(info.Caption), TabSheet1);
        group->setGeometry(232, entry.y, 222, 62);
        Name(group, entry.groupName, QString::fromUtf8(info.Caption).trimmed());
        *entry.group = group;
        for (const TReading& reading : ReadingsOf(info.Group)) {
            const int i = reading.Number - 1;
            MakeLabel(group, QString::number(reading.Number), 8 + 70 * i, 26, 10, 21);
            QLineEdit* box = MakeBox(group, entry.boxNames[i], QString::fromUtf8(reading.Name()), 20 + 70 * i, 26,
                                     entry.initial, false);
            *entry.boxes[i] = box;
            ValueBoxes[static_cast<size_t>(reading.Index)] = box;
        }
    }

    Name(statusBar(), "StatusBar1", QStringLiteral("Status bar"));
    StatusBar1Panel = new QLabel(statusBar());
    StatusBar1Panel->setAlignment(Qt::AlignCenter);
    Name(StatusBar1Panel, "StatusBar1Panel", QStringLiteral("About"));
    statusBar()->setSizeGripEnabled(false);
    statusBar()->setFixedHeight(19);  // with the areas above: a client area of 473 by 423
    statusBar()->addWidget(StatusBar1Panel, 1);
    ReasonPanel = new QLabel(statusBar());
    Name(ReasonPanel, "ReasonPanel", QStringLiteral("Poll result"));
    // Neither text may widen the fixed-size window; a reason takes the maker's notice's place.
    StatusBar1Panel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    ReasonPanel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    ReasonPanel->hide();
    statusBar()->addWidget(ReasonPanel, 1);

    Timer1.SetEnabled(false);
    Timer1.SetInterval(0);
    Timer1.SetOnTimer([this](platform::TTimer&) { Timer1Timer(); });

    // Fixed size: the client area of the settings and status areas plus the menu bar.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void TForm1::FormCreate() {
    Timer1.SetEnabled(false);
    setWindowTitle(QString::fromLatin1(kCaption));
    StatusBar1Panel->setText(QString::fromLatin1(MakerNotice));
    SettingsFileName = IniFileName();
    SettingsSectionName = IniSectionName();
    history_ = std::make_unique<THistoryRecorder>(SettingsSectionName + ".history.sqlite3");
    HistoryPage->SetStoreSource([this] { return history_->Store(); });
    // The loaded interval takes effect even when it equals the spinner's initial position, so
    // that periodic polling works with the default settings; also when loading fails part way.
    struct ApplyInterval {
        TForm1* form;
        ~ApplyInterval() {
            const int16_t seconds = form->UDInt->Position();
            form->Timer1.SetInterval(seconds < 0 ? 0u : static_cast<uint32_t>(seconds) * 1000u);
        }
    } applyInterval{this};
    LoadSettings();
}

void TForm1::FormDestroy() {
    Timer1.SetInterval(0);
    SaveSettings();
}

void TForm1::LoadSettings() {
    EnsureIniFile(SettingsFileName);
    // Each control takes its key as soon as it is read: a file that fails part way leaves the
    // controls after it at their initial values.
    TUnitSettings settings = ShownSettings();
    for (const TUnitSettingKey& key : UnitSettingKeys()) {
        LoadUnitSetting(SettingsFileName, SettingsSectionName, key, settings);
        if (key.Text != nullptr) {
            boxBytes_.Show(*SettingBox(key), settings.*key.Text);
        } else {
            // The spinner's position is 16 bits wide and takes the value's low 16 bits.
            SettingSpinner(key)->SetPosition(static_cast<int16_t>(settings.*key.Number));
        }
    }
}

void TForm1::SaveSettings() { SaveUnitSettings(SettingsFileName, SettingsSectionName, ShownSettings()); }

TUnitSettings TForm1::ShownSettings(bool withInterval) const {
    TUnitSettings settings;
    for (const TUnitSettingKey& key : UnitSettingKeys()) {
        if (key.Text != nullptr) {
            settings.*key.Text = boxBytes_.Bytes(*SettingBox(key));
        } else if (withInterval || key.Number != &TUnitSettings::Interval) {
            settings.*key.Number = SettingSpinner(key)->Position();
        }
    }
    return settings;
}

QLineEdit* TForm1::SettingBox(const TUnitSettingKey& key) const {
    if (key.Text == &TUnitSettings::Address) return Edit1;
    if (key.Text == &TUnitSettings::Port) return Edit2;
    if (key.Text == &TUnitSettings::UserName) return Edit3;
    return Edit4;
}

platform::TUpDown* TForm1::SettingSpinner(const TUnitSettingKey& key) const {
    if (key.Number == &TUnitSettings::ConnectTimeout) return UDCt;
    if (key.Number == &TUnitSettings::ReadTimeout) return UDRt;
    return UDInt;
}

void TForm1::CloseX1Click() {
    Timer1.SetInterval(0);
    if (platform::TApplication* application = platform::Application()) application->Terminate();
    else QApplication::quit();
}

void TForm1::Brenwick1Click() { OpenURL(MakerHomePage); }

void TForm1::Tessivo1Click() { OpenURL(UnitMakerHomePage); }

void TForm1::SpeedButton1Click() {
    // The button takes no focus, so a number just typed into a spinner's box has not been
    // applied yet; the timer must start with the interval the box shows.
    for (platform::TUpDown* spinner : {UDCt, UDRt, UDInt}) spinner->ApplyTyped();
    if (SpeedButton1->isChecked()) PollCycle();
    Timer1.SetEnabled(SpeedButton1->isChecked());
}

void TForm1::SpeedButton2Click() {
    OpenURL("http://" + boxBytes_.Bytes(*Edit1) + ":" + boxBytes_.Bytes(*Edit2));
}

void TForm1::Timer1Timer() { PollCycle(); }

void TForm1::UDIntChangingEx(bool& allowChange, int16_t newValue, platform::TUpDownDirection /*direction*/) {
    if (!allowChange) return;
    // A negative proposal cannot come from the range 0..6000 except one step below 0; the
    // timer takes it as no interval rather than as a huge unsigned one.
    Timer1.SetInterval(newValue < 0 ? 0u : static_cast<uint32_t>(newValue) * 1000u);
}

void TForm1::GBCountDblClick() {
    PollCount = 0;
    ErrorCount = 0;
    MemoInterval->clear();
    MemoError->clear();
    MemoInterval->setText(QStringLiteral("0"));
    MemoError->setText(QStringLiteral("0"));
}

void TForm1::PollCycle() {
    // Nothing inside a poll may start another (the anti-freeze lets the window live meanwhile).
    if (pollWatch_->Polling()) return;
    // Not the interval: asking its spinner would take a number still being typed there
    // without telling the timer.
    const TUnitSettings settings = ShownSettings(false);
    const TUnitTarget target = settings.Target();
    Timer1.SetEnabled(false);

    struct Closing {
        TForm1* form;
        ~Closing() {
            form->pollWatch_->End();
            form->repaint();
            form->Timer1.SetEnabled(true);
        }
    } closing{this};

    pollWatch_->Begin(target.Host, target.Port, settings.Port);
    const TPollResult result = poll_(target);
    pollWatch_->End();
    ApplyPollResult(result);
    const TPollOutcome& outcome = result.Outcome;
    Alarms->AfterPoll(outcome, target.Host, target.Port);
    // On disk before on screen: whatever the user has seen survives a crash.
    if (history_) {
        const std::string historyNews = history_->Record(outcome, Reading, Alarms->LatestEvents());
        if (!historyNews.empty()) ShowNotice(ToQString(historyNews));
    }

    const int32_t code = outcome.Code;
    const QString time = ToQString(TimeText());
    StResult->SetCaption(QStringLiteral("Response Code : ") + QString::number(code) + QChar(u'\r') + time);
    pollWatch_->ShowOutcome(outcome, time);
    StResult->setAccessibleName(QStringLiteral("Response Code %1").arg(code));
    MemoInterval->clear();
    MemoInterval->setText(QString::number(PollCount));
    MemoError->clear();
    MemoError->setText(QString::number(ErrorCount));
    for (const TReading& reading : Readings()) {
        if (reading.Group->Analogue()) {
            QLineEdit* box = ValueBoxes[static_cast<size_t>(reading.Index)];
            box->clear();
            box->setText(ToQString(reading.Of(Reading)));
        } else {
            ShowLamp(reading.Number, reading.Of(Reading));
        }
    }
    HistoryPage->PollRecorded();
}

void TForm1::ShowNotice(const QString& text) {
    if (pollWatch_ != nullptr) pollWatch_->ShowNotice(text);
}

void TForm1::ShowLamp(int index, const std::string& reading) {
    QFrame* lamp = D[index - 1];
    const QColor color = LampColor(reading);
    QPalette palette = lamp->palette();
    palette.setColor(QPalette::Window, color);
    lamp->setPalette(palette);
    const std::string label = ReadingOf(TReadingGroup::Input, index).Label();
    lamp->setAccessibleName(ToQString(label + (color == kLime ? " on" : " off")));
}

QColor TForm1::LampColor(const std::string& text) { return InputOn(text).value_or(false) ? kLime : kSilver; }

bool TForm1::OpenURL(const std::string& url) {
    const int result = platform::ShellExecuteA(this, "open", url, "", "", platform::SW_SHOW);
    const bool success = result > 32;
    if (!success) platform::MessageDlg("Error..." + url, platform::TMsgDlgType::mtError, this);
    return success;
}

void TForm1::closeEvent(QCloseEvent* event) {
    // Closed during a poll: the poll gives up at once and the window closes right after it.
    if (pollWatch_ != nullptr && pollWatch_->DeferClose()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == GBCount && event->type() == QEvent::MouseButtonDblClick) {
        platform::RunHandler([this] { GBCountDblClick(); });
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace quorvane
