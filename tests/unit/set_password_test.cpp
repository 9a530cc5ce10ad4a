#include "gate/set_password_dialog.h"

#include <gtest/gtest.h>

#include "setup_fake_views.h"

namespace {

using setuptest::FakeSetPasswordView;

class SetPasswordTest : public ::testing::Test, public setuptest::SetupWorld {
protected:
    void SetUp() override {
        presenter.Show();
        presenter.cmdsetpassword_Click();
        fake = view.setPassword;
        dialog = presenter.SetPassword();
    }
    void Enter(const std::string& text1, const std::string& text2) {
        fake->text1 = text1;
        fake->text2 = text2;
        dialog->OKButton_Click();
    }

    FakeSetPasswordView* fake = nullptr;
    gate::SetPasswordDialog* dialog = nullptr;
};

TEST_F(SetPasswordTest, OpensOverADisabledSetupWindowWithFocusInTheFirstBox) {
    ASSERT_NE(fake, nullptr);
    EXPECT_TRUE(fake->shown);
    EXPECT_TRUE(fake->focusInText1);
    EXPECT_FALSE(view.enabled);
}

TEST_F(SetPasswordTest, ConfirmationIgnoresCaseAndTheFirstBoxCaseIsKept) {
    Enter("SeCret7", "SECRET7");
    EXPECT_TRUE(fake->closed);
    EXPECT_TRUE(view.enabled);
    EXPECT_TRUE(world.state.Password.Matches("SeCret7"));
    EXPECT_FALSE(world.state.Password.Matches("SECRET7"));
    EXPECT_FALSE(world.state.Password.Matches("PASSAGE"));
}

TEST_F(SetPasswordTest, ConfirmationFoldsLetterCaseByTheSystemsRulesInAnyScript) {
    const struct {
        std::string first, second;
        bool accepted;
    } cases[] = {
        {"Пароль", "ПАРОЛЬ", true},                                   // Cyrillic
        {"Κωδικός", "ΚΩΔΙΚΌΣ", true},                                 // Greek, with its final sigma
        {"Été", "éTÉ", true},         {"Istanbul", "İSTANBUL", true}, // dotted capital I folds with plain i
        {"秘密", "秘蜜", false},                                      // no case: different characters stay different
        {"Пароль", "Парол", false},   {"Straße", "STRASSE", false},   // one character for one: ß is not "SS"
    };
    for (const auto& c : cases) {
        presenter.cmdsetpassword_Click();
        fake = view.setPassword;
        dialog = presenter.SetPassword();
        Enter(c.first, c.second);
        EXPECT_EQ(fake->closed, c.accepted) << c.first << " / " << c.second;
        if (c.accepted)
            EXPECT_TRUE(world.state.Password.Matches(c.first)) << c.first;
        else
            dialog->CancelButton_Click();
    }
}

TEST_F(SetPasswordTest, MismatchEmptiesBothBoxesAndAsksAgain) {
    Enter("one", "two");
    EXPECT_EQ(fake->label1, "Passwords do not match!");
    EXPECT_EQ(fake->text1, "");
    EXPECT_EQ(fake->text2, "");
    EXPECT_TRUE(fake->focusInText1);
    EXPECT_FALSE(fake->closed);
    EXPECT_FALSE(view.enabled);

    Enter("x", "X"); // a single character is enough
    EXPECT_TRUE(fake->closed);
    EXPECT_TRUE(world.state.Password.Matches("x"));
}

TEST_F(SetPasswordTest, MismatchThenCancelKeepsThePassword) {
    Enter("one", "two");
    dialog->CancelButton_Click();
    EXPECT_TRUE(fake->closed);
    EXPECT_TRUE(view.enabled);
    EXPECT_TRUE(world.state.Password.Matches("PASSAGE"));
}

TEST_F(SetPasswordTest, EmptyPasswordIsSilentlyRefused) {
    Enter("", "");
    EXPECT_FALSE(fake->closed);
    EXPECT_EQ(fake->label1, "Enter new password:");
    EXPECT_TRUE(world.state.Password.Matches("PASSAGE"));
}

TEST_F(SetPasswordTest, NewPasswordReachesTheStoreAsAHashOnlyWithOk) {
    Enter("Falcon", "falcon");
    EXPECT_FALSE(Stored(store::kSettingsKey, "Auth1").has_value());
    presenter.cmdcancel_Click();
    EXPECT_TRUE(world.state.Password.Matches("Falcon")); // in force although nothing was stored
    presenter.Show();
    presenter.cmdapply_Click();
    const auto stored = Stored(store::kSettingsKey, "Auth1");
    ASSERT_TRUE(stored.has_value());
    EXPECT_TRUE(common::Password::Parse(*stored).has_value());
    EXPECT_EQ(stored->find("Falcon"), std::string::npos);
    EXPECT_TRUE(world.state.Password.Matches("Falcon")); // the reload keeps it
}

TEST_F(SetPasswordTest, DestroyedWithItsOwnerGivesTheSetupWindowBack) {
    dialog->Form_Unload();
    EXPECT_TRUE(view.enabled);
    EXPECT_TRUE(world.state.Password.Matches("PASSAGE"));
}

} // namespace
