#include "platform/gui/up_down.h"

#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace quorvane::platform {
namespace {

struct Change {
    int16_t proposed;
    TUpDownDirection direction;
};

// A spinner attached to its box inside a shown window, recording every changing event.
class UpDownTest : public ::testing::Test {
protected:
    UpDownTest() {
        window_ = std::make_unique<QWidget>();
        box_ = new QLineEdit(window_.get());
        other_ = new QLineEdit(window_.get());
        other_->move(0, 40);
        spinner_ = new TUpDown(box_, window_.get());
        spinner_->setGeometry(60, 0, 16, 21);
        spinner_->SetRange(0, 6000);
        spinner_->SetPosition(60);
        spinner_->SetOnChangingEx([this](TUpDown&, bool& allow, int16_t value, TUpDownDirection direction) {
            changes_.push_back({value, direction});
            if (veto_) allow = false;
        });
        window_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    }

    std::unique_ptr<QWidget> window_;
    QLineEdit* box_ = nullptr;
    QLineEdit* other_ = nullptr;
    TUpDown* spinner_ = nullptr;
    std::vector<Change> changes_;
    bool veto_ = false;
};

TEST_F(UpDownTest, ArrowButtonsAndKeysProposeOneStepWithTheirDirection) {
    QTest::mouseClick(spinner_->UpButton(), Qt::LeftButton);
    QTest::mouseClick(spinner_->UpButton(), Qt::LeftButton);
    box_->setFocus();
    QTest::keyClick(box_, Qt::Key_Down);
    QTest::mouseClick(spinner_->DownButton(), Qt::LeftButton);
    ASSERT_EQ(changes_.size(), 4u);
    EXPECT_EQ(changes_[0].proposed, 61);
    EXPECT_EQ(changes_[0].direction, TUpDownDirection::updUp);
    EXPECT_EQ(changes_[1].proposed, 62);
    EXPECT_EQ(changes_[2].proposed, 61);
    EXPECT_EQ(changes_[2].direction, TUpDownDirection::updDown);
    EXPECT_EQ(changes_[3].proposed, 60);
    EXPECT_EQ(spinner_->Position(), 60);
    EXPECT_EQ(box_->text(), QStringLiteral("60"));
}

// At the edge the proposal reaches the listener as computed; the position stays in range.
TEST_F(UpDownTest, ProposalBeyondTheRangeIsReportedButThePositionStaysInside) {
    spinner_->SetPosition(6000);
    changes_.clear();
    QTest::mouseClick(spinner_->UpButton(), Qt::LeftButton);
    ASSERT_EQ(changes_.size(), 1u);
    EXPECT_EQ(changes_[0].proposed, 6001);
    EXPECT_EQ(spinner_->Position(), 6000);

    spinner_->SetPosition(0);
    changes_.clear();
    QTest::mouseClick(spinner_->DownButton(), Qt::LeftButton);
    ASSERT_EQ(changes_.size(), 1u);
    EXPECT_EQ(changes_[0].proposed, -1);
    EXPECT_EQ(spinner_->Position(), 0);
}

TEST_F(UpDownTest, ListenerClearingTheFlagKeepsThePosition) {
    veto_ = true;
    QTest::mouseClick(spinner_->UpButton(), Qt::LeftButton);
    spinner_->SetPosition(5);
    EXPECT_EQ(changes_.size(), 2u);
    EXPECT_EQ(spinner_->Position(), 60);
    EXPECT_EQ(box_->text(), QStringLiteral("60"));
}

TEST_F(UpDownTest, ProgramSetsRaiseTheEventOnlyForANewValue) {
    changes_.clear();
    spinner_->SetPosition(60);
    EXPECT_TRUE(changes_.empty());
    spinner_->SetPosition(5);
    ASSERT_EQ(changes_.size(), 1u);
    EXPECT_EQ(changes_[0].proposed, 5);
    EXPECT_EQ(changes_[0].direction, TUpDownDirection::updNone);
    EXPECT_EQ(box_->text(), QStringLiteral("5"));
}

// A typed number becomes the position when the position is asked for, silently; text that is
// no number in range leaves the position alone. Arrows step from the typed number.
TEST_F(UpDownTest, TypedNumberIsTakenWhenThePositionIsAsked) {
    box_->setText(QStringLiteral("120"));
    EXPECT_EQ(spinner_->Position(), 120);
    EXPECT_TRUE(changes_.empty());
    for (const char* bad : {"", "abc", "12x", "7000", "-3", "99999999999"}) {
        box_->setText(QString::fromLatin1(bad));
        EXPECT_EQ(spinner_->Position(), 120) << bad;
    }
    box_->setText(QStringLiteral("300"));
    QTest::mouseClick(spinner_->UpButton(), Qt::LeftButton);
    ASSERT_EQ(changes_.size(), 1u);
    EXPECT_EQ(changes_[0].proposed, 301);
}

TEST_F(UpDownTest, TypedNumberIsProposedWhenEditingEndsOnlyWhenAsked) {
    box_->setFocus();
    box_->selectAll();
    QTest::keyClicks(box_, "5");
    QTest::keyClick(box_, Qt::Key_Return);
    EXPECT_TRUE(changes_.empty()) << "without the option typing raises nothing";

    spinner_->SetApplyTypedOnEditingFinished(true);
    box_->setFocus();
    box_->selectAll();
    QTest::keyClicks(box_, "7");
    QTest::keyClick(box_, Qt::Key_Return);
    ASSERT_EQ(changes_.size(), 1u);
    EXPECT_EQ(changes_[0].proposed, 7);
    EXPECT_EQ(changes_[0].direction, TUpDownDirection::updNone);

    // Focus leaving the box ends editing as well.
    box_->setFocus();
    box_->selectAll();
    QTest::keyClicks(box_, "9");
    other_->setFocus();
    QApplication::processEvents();
    ASSERT_EQ(changes_.size(), 2u);
    EXPECT_EQ(changes_[1].proposed, 9);

    // Unusable text: nothing proposed, the box shows the position again.
    box_->setFocus();
    box_->selectAll();
    QTest::keyClicks(box_, "x");
    QTest::keyClick(box_, Qt::Key_Return);
    EXPECT_EQ(changes_.size(), 2u);
    EXPECT_EQ(box_->text(), QStringLiteral("9"));
}

}  // namespace
}  // namespace quorvane::platform
