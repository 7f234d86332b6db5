#include "platform/widgets/RadioGroup.h"
#include "platform/widgets/MessageSeam.h"

#include <QApplication>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class RadioGroupTest : public ::testing::Test {
protected:
    RadioGroup group{QStringLiteral("Ativar Promoção?"),
                     {QStringLiteral("Promoção ativada"), QStringLiteral("Desativada Promoção")}};
    int clicks = 0;
    void SetUp() override {
        group.setOnClick([this] { ++clicks; });
    }
    QRadioButton* button(int i) { return group.findChildren<QRadioButton*>().at(i); }
};

TEST_F(RadioGroupTest, HandlerRunsWhenTheSelectionChangesFromCode) {
    EXPECT_EQ(group.itemIndex(), -1);
    group.setItemIndex(1);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(button(1)->isChecked());
    group.setItemIndex(1);
    EXPECT_EQ(clicks, 1);
    group.setItemIndex(0);
    EXPECT_EQ(clicks, 2);
    EXPECT_TRUE(button(0)->isChecked());
    group.setItemIndex(-1);
    EXPECT_EQ(clicks, 2);
    EXPECT_FALSE(button(0)->isChecked());
    EXPECT_FALSE(button(1)->isChecked());
}

TEST_F(RadioGroupTest, HandlerRunsOnAClickThatChangesTheSelection) {
    button(0)->click();
    EXPECT_EQ(group.itemIndex(), 0);
    EXPECT_EQ(clicks, 1);
    button(0)->click();
    EXPECT_EQ(clicks, 1);
    button(1)->click();
    EXPECT_EQ(clicks, 2);
}

TEST_F(RadioGroupTest, ErrorsReachCodeButAClickShowsThem) {
    messages::Recorder recorder;
    group.setOnClick([] { throw std::runtime_error("database unreachable"); });
    EXPECT_THROW(group.setItemIndex(0), std::runtime_error);
    EXPECT_TRUE(recorder.shown().empty());
    button(1)->click();
    ASSERT_EQ(recorder.standardErrors().size(), 1u);
    EXPECT_EQ(recorder.standardErrors()[0].text, QStringLiteral("database unreachable"));
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
