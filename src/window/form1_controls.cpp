// The construction of the window's controls: their content, places, names and initial values.
// The handlers are in form1.cpp.

#include "window/form1.h"

#include <QApplication>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QValidator>

#include <algorithm>
#include <cstdio>

#include "platform/gui/application.h"
#include "platform/gui/contrast.h"
#include "platform/gui/gui_text.h"
#include "platform/gui/password_style.h"
#include "platform/gui/static_text.h"
#include "window/history_page.h"

namespace quorvane {

using platform::ToQString;

namespace {

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

// A settings box with its caption, which is also its accessible name; PlaceSettings places both.
QLineEdit* MakeEdit(QWidget* parent, const char* name, const QString& label, const std::string& text,
                    QLabel*& caption) {
    caption = new QLabel(label, parent);
    auto* edit = new QLineEdit(ToQString(text), parent);
    Name(edit, name, label);
    caption->setBuddy(edit);
    return edit;
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

QPalette TForm1::WhiteWindowPalette(const QPalette& desktop, const QStyle& style) {
    // The window is white on every desktop. A dark desktop's colours would leave its text
    // light on that white, so the window then takes its style's own light colours instead.
    // Every role is set, so that none follows a later change of the desktop's colours.
    const bool readable =
        platform::ContrastRatio(desktop.color(QPalette::WindowText), Qt::white) >= platform::kReadableContrast;
    const QPalette source = readable ? desktop : style.standardPalette();
    QPalette palette;
    for (int group = 0; group < QPalette::NColorGroups; ++group) {
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto colorGroup = static_cast<QPalette::ColorGroup>(group);
            const auto colorRole = static_cast<QPalette::ColorRole>(role);
            palette.setBrush(colorGroup, colorRole, source.brush(colorGroup, colorRole));
        }
    }
    palette.setColor(QPalette::Window, Qt::white);
    return palette;
}

void TForm1::BuildControls() {
    setObjectName(QStringLiteral("Form1"));
    setAccessibleName(QString::fromLatin1(Caption));
    setAccessibleDescription(QStringLiteral("Form1"));

    QFont font;
    font.setFamilies({QString::fromUtf8("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic")});
    font.setPixelSize(13);
    setFont(font);
    setPalette(WhiteWindowPalette(QApplication::palette(), *style()));
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
    Edit1 = MakeEdit(GroupBox6, "Edit1", QStringLiteral("IP Address"), defaults.Address, editCaptions_[0]);
    Edit2 = MakeEdit(GroupBox6, "Edit2", QStringLiteral("HTTP Port"), defaults.Port, editCaptions_[1]);
    Edit3 = MakeEdit(GroupBox6, "Edit3", QStringLiteral("User Name"), defaults.UserName, editCaptions_[2]);
    Edit4 = MakeEdit(GroupBox6, "Edit4", QStringLiteral("Password"), defaults.Password, editCaptions_[3]);
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
    Name(GroupBox7, "GroupBox7", QStringLiteral("Time limits and interval"));
    struct SpinnerLayout {
        const char* boxName;
        const char* spinnerName;
        const char* label;
        int32_t TUnitSettings::* setting;
    };
    const SpinnerLayout layouts[] = {
        {"Memo2", "UDCt", "Connect Timeout", &TUnitSettings::ConnectTimeout},
        {"Memo1", "UDRt", "Read Timeout", &TUnitSettings::ReadTimeout},
        {"MemoInt", "UDInt", "Interval", &TUnitSettings::Interval},
    };
    QLineEdit** boxes[] = {&Memo2, &Memo1, &MemoInt};
    platform::TUpDown** spinners[] = {&UDCt, &UDRt, &UDInt};
    for (int i = 0; i < 3; ++i) {
        const SpinnerLayout& layout = layouts[i];
        const TUnitSettingKey& key = UnitSettingKeyOf(layout.setting);
        const QString label = QString::fromLatin1(layout.label);
        QLabel* caption = new QLabel(label, GroupBox7);
        QLineEdit* box = MakeBox(GroupBox7, layout.boxName, label + QStringLiteral(" (seconds)"), 0, 0, "", true);
        auto* spinner = new platform::TUpDown(box, GroupBox7);
        Name(spinner, layout.spinnerName, label + QStringLiteral(" spinner"));
        spinner->SetRange(static_cast<int16_t>(key.Lowest), static_cast<int16_t>(key.Highest));
        spinner->SetIncrement(1);
        spinner->SetPosition(static_cast<int16_t>(defaults.*layout.setting));
        caption->setBuddy(box);
        spinnerCaptions_[static_cast<size_t>(i)] = caption;
        spinnerUnits_[static_cast<size_t>(i)] = new QLabel(QStringLiteral("Sec"), GroupBox7);
        *boxes[i] = box;
        *spinners[i] = spinner;
    }
    UDInt->SetOnChangingEx([this](platform::TUpDown&, bool& allowChange, int16_t newValue,
                                  platform::TUpDownDirection direction) {
        UDIntChangingEx(allowChange, newValue, direction);
    });
    UDInt->SetApplyTypedOnEditingFinished(true);

    StResult = new platform::TStaticText(GroupBox7);
    StResult->resize(165, 29);
    StResult->setAlignment(Qt::AlignCenter);
    StResult->SetCaption(QStringLiteral("Response Code"));
    Name(StResult, "StResult", QStringLiteral("Response Code"));
    StResult->setFrameShape(QFrame::Panel);
    StResult->setFrameShadow(QFrame::Sunken);
    PlaceSettings();

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

void TForm1::PlaceSettings() {
    // Every caption is as wide as its text in the window's font and nothing lies over it, within
    // the fixed settings area: the edit boxes give up width to their captions, and the response
    // code sits beside the connect limit's box, below its caption.
    const QFontMetrics metrics(font());
    const int lineHeight = std::max(16, metrics.height() + 2);
    auto textWidth = [&](const QLabel* label) { return metrics.horizontalAdvance(label->text()) + 2; };

    constexpr int kLeft = 8, kColumnRight = 180, kEditHeight = 21;
    int captionWidth = 70;
    for (const QLabel* caption : editCaptions_) captionWidth = std::max(captionWidth, textWidth(caption));
    QLineEdit* const edits[] = {Edit1, Edit2, Edit3, Edit4};
    for (size_t i = 0; i < editCaptions_.size(); ++i) {
        const int y = 18 + 27 * static_cast<int>(i);
        editCaptions_[i]->setGeometry(kLeft, y, captionWidth, kEditHeight);
        edits[i]->setGeometry(kLeft + captionWidth + 2, y, kColumnRight - captionWidth - 2 - kLeft, kEditHeight);
    }

    constexpr int kGroupLeft = kColumnRight + 4, kGroupWidth = 277, kBoxLeft = 6, kGap = 2;
    GroupBox7->setGeometry(kGroupLeft, 10, kGroupWidth, 146);
    QLineEdit* const boxes[] = {Memo2, Memo1, MemoInt};
    platform::TUpDown* const spinners[] = {UDCt, UDRt, UDInt};
    const int unitLeft = kBoxLeft + 57 + 16 + kGap;
    constexpr int kRowGap = 6;
    int y = kRowGap;
    for (size_t i = 0; i < spinnerCaptions_.size(); ++i) {
        spinnerCaptions_[i]->setGeometry(kBoxLeft, y, textWidth(spinnerCaptions_[i]), lineHeight);
        y += lineHeight;
        boxes[i]->setGeometry(kBoxLeft, y, 57, kEditHeight);
        spinners[i]->setGeometry(kBoxLeft + 57, y, 16, kEditHeight);
        spinnerUnits_[i]->setGeometry(unitLeft, y, textWidth(spinnerUnits_[i]), kEditHeight);
        if (i == 0) {
            StResult->move(kGroupWidth - 4 - StResult->width(), y);
            y += StResult->height();
        } else {
            y += kEditHeight;
        }
        y += kRowGap;
    }
}

}  // namespace quorvane
