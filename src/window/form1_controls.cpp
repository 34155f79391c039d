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
#include <QTabWidget>
#include <QToolButton>
#include <QValidator>

#include <cstdio>

#include "platform/gui/application.h"
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

// A settings box with its caption, which is also its accessible name.
QLineEdit* MakeEdit(QWidget* parent, const char* name, const QString& label, int y, const std::string& text) {
    QLabel* caption = MakeLabel(parent, label, 8, y, 70, 21);
    auto* edit = new QLineEdit(ToQString(text), parent);
    edit->setGeometry(80, y, 100, 21);
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

void TForm1::BuildControls() {
    setObjectName(QStringLiteral("Form1"));
    setAccessibleName(QString::fromLatin1(Caption));
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

}  // namespace quorvane
