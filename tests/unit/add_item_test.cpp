#include "setup/add_item_dialog.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_message_box.h"
#include "platform/fake/fake_timer.h"
#include "platform/native/native_text_case.h"
#include "setup/title_case.h"
#include "setup_fake_views.h"

namespace {

using setuptest::FakeAddItemView;

TEST(TitleCase, LowersEverythingAndRaisesTheFirstLetterOfEachWordInAnyScript) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"my BANK o'neil-smith", "My Bank O'neil-smith"},
        {"", ""},
        {"kestrel 2004", "Kestrel 2004"},
        {"  two  blanks", "  Two  Blanks"},
        {"tab\tlf\nvt\vff\fcr\rend", "Tab\tLf\nVt\vFf\fCr\rEnd"},
        {std::string("nul\0after", 9), std::string("Nul\0After", 9)},
        {"st.john (uk) 3rd_place", "St.john (uk) 3rd_place"}, // only the six blanks and NUL separate words
        {"ÉCOLE été ×x ÷y", "École Été ×x ÷y"},               // accented letters; signs stay
        {"ОНЛАЙН казино", "Онлайн Казино"},                   // Cyrillic
        {"ΚΑΖΊΝΟ στοίχημα", "Καζίνο Στοίχημα"},               // Greek
        {"straße ß", "Straße ß"},                             // one unit for one: ß has no capital of its own here
        {"𐐨𐐨 x𐐨", "𐐀𐐨 X𐐨"},                                   // a character of two UTF-16 units is one character
    };
    const platform::native::NativeTextCase system;
    for (const auto& c : cases) {
        EXPECT_EQ(setup::ToTitleCase(c.in, system), c.out) << c.in;
        EXPECT_EQ(setup::ToTitleCase(c.out, system), c.out) << "converting converted text changes nothing";
    }
}

class AddItemDialogTest : public ::testing::Test {
protected:
    void Open(const std::string& text = "") {
        auto view = std::make_unique<FakeAddItemView>(dialog);
        fake = view.get();
        dialog.Create(std::move(view));
        dialog.SetText(text);
        dialog.Show();
    }
    std::vector<std::string> Rows() const {
        std::vector<std::string> rows;
        for (const auto& row : items.Rows())
            rows.push_back(row.text);
        return rows;
    }

    engine::ItemList items;
    platform::fake::FakeTimerFactory timers;
    std::unique_ptr<platform::Timer> timer = timers.MakeTimer(1000, [] {});
    platform::fake::FakeMessageBoxes messageBoxes;
    std::vector<bool> ownerEnabled; // every change of the setup window's state
    platform::native::NativeTextCase textCase;
    setup::AddItemDialog dialog{items, *timer, messageBoxes, textCase, [this](bool e) { ownerEnabled.push_back(e); }};
    FakeAddItemView* fake = nullptr;
};

TEST_F(AddItemDialogTest, OkAddsTheTextAsItStandsWithTheWatcherPausedAroundIt) {
    for (const std::string text : {"my BANK", "   ", "Kestrel", "kestrel 2004", "Kestrel 2004 ", "Crime", "Crime"}) {
        Open();
        fake->Type(text);
        dialog.cmdok_Click();
        EXPECT_TRUE(fake->closed) << text;
    }
    EXPECT_EQ(Rows(), (std::vector<std::string>{"   ", "Crime", "Crime", "Kestrel", "kestrel 2004", "Kestrel 2004 ",
                                                "my BANK"}));
    for (const auto& row : items.Rows())
        EXPECT_FALSE(row.checked);
    const auto& switches = static_cast<platform::fake::FakeTimer&>(*timer).Switches();
    ASSERT_EQ(switches.size(), 14u);
    EXPECT_FALSE(switches[0]);
    EXPECT_TRUE(switches[1]);
    EXPECT_TRUE(timer->Enabled());
}

TEST_F(AddItemDialogTest, TheProgramsOwnCaptionIsRefusedAndTheDialogStaysOpen) {
    Open();
    fake->Type("Kestrel 2004");
    dialog.cmdok_Click();
    EXPECT_EQ(fake->instruction, "Sorry, you cannot lock this, it's used by this program.");
    EXPECT_FALSE(fake->closed);
    EXPECT_TRUE(items.Rows().empty());
    EXPECT_EQ(ownerEnabled, std::vector<bool>{false}); // the setup window stays disabled

    fake->Type("Kestrel 2004 Notes");
    dialog.cmdok_Click();
    EXPECT_EQ(Rows(), std::vector<std::string>{"Kestrel 2004 Notes"});
    EXPECT_EQ(ownerEnabled, (std::vector<bool>{false, true}));
}

TEST_F(AddItemDialogTest, TextInAnyScriptIsAddedUpToWhatTheStoreGivesBack) {
    auto times = [](const std::string& character, std::size_t count) {
        std::string text;
        for (std::size_t i = 0; i < count; ++i)
            text += character;
        return text;
    };
    const struct {
        std::string text;
        bool added; // otherwise refused as too long
    } cases[] = {
        {std::string(1022, 'x'), true}, // with its ",1" it fills the read buffer exactly
        {std::string(1023, 'x'), false},
        {times("Ж", 1022), true}, // counted in characters, not in the bytes of their UTF-8 form
        {times("Ж", 1023), false},
        {times("𐐀", 511), true}, // a character of two UTF-16 units counts twice, as the store counts it
        {times("𐐀", 511) + "x", false},
        {"Казино ?", true}, // a real question mark
    };
    for (const auto& c : cases) {
        items.Clear();
        Open();
        fake->Type(c.text);
        dialog.cmdok_Click();
        EXPECT_EQ(fake->instruction, c.added ? setup::kAddItemInstruction : setup::kAddItemTooLong) << c.text.size();
        EXPECT_EQ(fake->closed, c.added) << c.text.size();
        ASSERT_EQ(items.Count(), c.added ? 1 : 0) << c.text.size();
        if (c.added)
            EXPECT_EQ(items.Rows()[0].text, c.text);
        else
            dialog.cmdexit_Click();
    }
}

TEST_F(AddItemDialogTest, EmptyTextIsIgnoredWithoutAWord) {
    Open();
    dialog.cmdok_Click();
    EXPECT_FALSE(fake->closed);
    EXPECT_TRUE(items.Rows().empty());
    EXPECT_TRUE(messageBoxes.Asked().empty());
    EXPECT_TRUE(static_cast<platform::fake::FakeTimer&>(*timer).Switches().empty());
}

TEST_F(AddItemDialogTest, TitleCaseRunsOnTickingAndAfterEveryChangeWithTheCaretAtTheEnd) {
    Open();
    fake->Type("my BANK");
    EXPECT_EQ(fake->text, "my BANK"); // unticked: as typed
    fake->TickConvert(true);
    EXPECT_EQ(fake->text, "My Bank");
    EXPECT_EQ(fake->caret, fake->text.size());

    fake->Type("My bAnk x"); // typing in the middle while ticked
    fake->caret = 3;
    dialog.txtwindow_Change();
    EXPECT_EQ(fake->text, "My Bank X");
    EXPECT_EQ(fake->caret, fake->text.size());

    fake->TickConvert(false);
    fake->Type("lower CASE");
    EXPECT_EQ(fake->text, "lower CASE");
}

TEST_F(AddItemDialogTest, WritingTheConvertedTextBackDoesNotLoop) {
    Open();
    fake->TickConvert(true);
    const int writes = fake->setTextCalls;
    fake->Type("kestrel 2004");
    EXPECT_EQ(fake->text, "Kestrel 2004");
    EXPECT_EQ(fake->setTextCalls, writes + 1); // one write-back, whose own change handler writes nothing
    dialog.cmdok_Click();
    EXPECT_EQ(fake->instruction, setup::kAddItemRefusal); // the converted caption is refused too
}

TEST_F(AddItemDialogTest, AChangedEntryStartsWithItsTextAndAnUntickedBox) {
    Open("Poker");
    EXPECT_EQ(fake->text, "Poker");
    EXPECT_FALSE(fake->convert);
    EXPECT_EQ(fake->instruction, setup::kAddItemInstruction);
    dialog.cmdok_Click();
    EXPECT_EQ(Rows(), std::vector<std::string>{"Poker"});
}

TEST_F(AddItemDialogTest, EveryWayOfClosingGivesTheSetupWindowBack) {
    Open();
    dialog.cmdexit_Click(); // Cancel (also the close box)
    Open();
    dialog.Form_Unload(); // destroyed with its owner
    Open();
    fake->Type("x");
    dialog.cmdok_Click();
    EXPECT_EQ(ownerEnabled, (std::vector<bool>{false, true, false, true, false, true}));
    EXPECT_EQ(Rows(), std::vector<std::string>{"x"});
}

TEST_F(AddItemDialogTest, FailureInTheTitleCaseHandlersIsReportedWithTheSupportAddress) {
    Open();
    fake->convert = true;
    fake->failure = "Out of string space";
    dialog.chkconvert_Click();
    dialog.txtwindow_Change();
    ASSERT_EQ(messageBoxes.Asked().size(), 2u);
    const auto& box = messageBoxes.Asked()[0];
    EXPECT_EQ(box.text, "Out of string space. Please email this to support@kestrel.example.com.");
    EXPECT_EQ(box.caption, "Kestrel");
    EXPECT_EQ(box.style, platform::kMbIconCritical | platform::kMbOk);
    EXPECT_FALSE(fake->closed);
}

TEST(AddItemDialogLifetime, DestroyedWhileOpenStillEnablesTheSetupWindow) {
    engine::ItemList items;
    platform::fake::FakeTimerFactory timers;
    auto timer = timers.MakeTimer(1000, [] {});
    platform::fake::FakeMessageBoxes messageBoxes;
    bool enabled = true;
    {
        platform::native::NativeTextCase textCase;
        setup::AddItemDialog dialog(items, *timer, messageBoxes, textCase, [&](bool e) { enabled = e; });
        dialog.Create(std::make_unique<FakeAddItemView>(dialog));
        EXPECT_FALSE(enabled);
    }
    EXPECT_TRUE(enabled);
}

} // namespace
