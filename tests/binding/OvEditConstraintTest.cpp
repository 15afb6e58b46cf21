#include "binding/OvEditConstraint.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <memory>
#include <string>

#include "UiRecorder.h"
#include "binding/OvLabel.h"
#include "binding/OvPanel.h"
#include "errors/OvException.h"
#include "testkit/Typing.h"

namespace {

constexpr char kIpFormat[] = "%u{w36n0x255l3ae.}.%u{w36n0x255l3ae.}.%u{w36n0x255l3ae.}.%u{w36n0x255l3ae.}";
constexpr char kIpRangeMessage[] = "Please enter a number between 0 and 255!";

// A window with a panel, an engine for it and a recorder of beeps, boxes and (in Record mode)
// focus moves; in Move mode the focus really moves, after the current event.
template <UiRecorder::Focus mode>
class ConstraintFixture : public ::testing::Test {
protected:
    void ShowActive() {
        form.resize(300, 100);
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    }

    std::vector<OvEdit*> BuildIp() {
        std::vector<OvEdit*> edits;
        engine->BuildPanelEdits(*panel, kIpFormat, &edits);
        return edits;
    }

    // An edit of the form constrained with the specifier.
    OvEdit& Constrained(const char* specifier) {
        auto* const edit = new OvEdit(&form);
        engine->ConstrainEdit(specifier, *edit);
        return *edit;
    }

    static void Leave(OvEdit& edit) { edit.OnExit()(edit); }

    QWidget form;
    OvPanel* panel = new OvPanel(&form);
    UiRecorder ui{mode};
    std::unique_ptr<OvEditConstraint> engine = std::make_unique<OvEditConstraint>(&form, true);
};

using EditConstraintTest = ConstraintFixture<UiRecorder::Focus::Record>;
using EditConstraintFocusTest = ConstraintFixture<UiRecorder::Focus::Move>;

TEST_F(EditConstraintTest, SetIpFormatBuildsFourEditsWithDotsBetween) {
    panel->SetCaption("caption");
    const std::vector<OvEdit*> edits = BuildIp();
    ASSERT_EQ(edits.size(), 4u);
    const QList<OvLabel*> labels = panel->findChildren<OvLabel*>();
    ASSERT_EQ(labels.size(), 3);
    int x = 0;
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        OvEdit* const edit = edits[static_cast<std::size_t>(i)];
        EXPECT_EQ(edit->parentWidget(), panel);
        EXPECT_EQ(edit->pos(), QPoint(x, 0));
        EXPECT_EQ(edit->width(), 36);
        EXPECT_EQ(edit->MaxLen(), 3);
        EXPECT_NE(engine->FindEntry(edit), nullptr);
        x += 37;
        if (i == 3) break;
        const OvLabel* const label = labels[i];
        EXPECT_EQ(label->text(), ".");
        EXPECT_EQ(label->pos(), QPoint(x, 0));
        EXPECT_EQ(label->size(), label->sizeHint());  // automatic size
        x += label->width() + 1;
    }
    EXPECT_EQ(panel->Caption(), "");
    EXPECT_EQ(panel->BevelInner(), OvPanel::Bevel::None);
    EXPECT_EQ(panel->BevelOuter(), OvPanel::Bevel::None);
    EXPECT_EQ(engine->EntryCount(), 4);
}

TEST_F(EditConstraintFocusTest, TypingAFullFieldMovesTheFocusOn) {
    const std::vector<OvEdit*> edits = BuildIp();
    ShowActive();
    edits[0]->setFocus();
    QTest::keyClicks(edits[0], "192");
    EXPECT_EQ(edits[0]->text(), "192");
    EXPECT_EQ(QApplication::focusWidget(), edits[0]);  // the move is posted, not immediate
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), edits[1]);
    EXPECT_EQ(engine->FindEntry(edits[0])->LastText, "192");

    QTest::keyClicks(edits[1], "12.");  // the advance character moves on before the field is full
    EXPECT_EQ(edits[1]->text(), "12");
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), edits[2]);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(ui.beeps.empty());
}

// A "." typed into a field that the full field before it has just moved the focus to belongs to
// that field: it is dropped, so an address typed the usual way lands one number per field whatever
// the fields held before.
TEST_F(EditConstraintFocusTest, AnAddressTypedTheUsualWayLandsOneNumberPerField) {
    const std::vector<OvEdit*> edits = BuildIp();
    const char* const held[] = {"10", "168", "", "101"};
    for (std::size_t i = 0; i < edits.size(); ++i) edits[i]->setText(held[i]);
    ShowActive();
    edits[0]->setFocus();
    edits[0]->selectAll();
    ASSERT_TRUE(TypeAsPerson(u"192.168.1.10"));
    QStringList texts;
    for (const OvEdit* edit : edits) texts << edit->text();
    EXPECT_EQ(texts, QStringList({"192", "168", "1", "10"}));
    EXPECT_EQ(QApplication::focusWidget(), edits[3]);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(ui.beeps.empty());
}

// A Tab typed right after a full last field has moved the focus out of the row was meant to leave
// that field: it is dropped, and what follows goes where the focus already is.
TEST_F(EditConstraintFocusTest, ATabAfterAFullFieldMovedTheFocusOnIsDropped) {
    const std::vector<OvEdit*> edits = BuildIp();
    auto* const next = new OvEdit(&form);
    auto* const further = new OvEdit(&form);
    QWidget::setTabOrder(edits[3], next);
    QWidget::setTabOrder(next, further);
    ShowActive();
    edits[0]->setFocus();
    ASSERT_TRUE(TypeAsPerson(u"192.168.0.177\tab"));
    EXPECT_EQ(edits[3]->text(), "177");
    EXPECT_EQ(next->text(), "ab");
    ASSERT_TRUE(TypeAsPerson(u"\t"));  // typed after other keys: moves on as ever
    EXPECT_EQ(QApplication::focusWidget(), further);
    ASSERT_TRUE(TypeAsPerson(u"\t"));  // entered by Tab, not by an advance
    EXPECT_NE(QApplication::focusWidget(), further);
}

TEST_F(EditConstraintFocusTest, OnlyTheFirstKeyIntoAFieldWithNothingToKeepIsDropped) {
    const std::vector<OvEdit*> edits = BuildIp();
    ShowActive();
    edits[1]->setFocus();
    ASSERT_TRUE(TypeAsPerson(u"."));  // empty and just entered: dropped, the focus stays
    EXPECT_EQ(QApplication::focusWidget(), edits[1]);
    ASSERT_TRUE(TypeAsPerson(u"."));  // no longer the first key: the field is ended, empty
    EXPECT_EQ(QApplication::focusWidget(), edits[2]);
    edits[2]->setText("7");
    edits[2]->end(false);  // entered with text it keeps, as by a click behind it
    ASSERT_TRUE(TypeAsPerson(u"."));
    EXPECT_EQ(QApplication::focusWidget(), edits[3]);
    EXPECT_EQ(edits[2]->text(), "7");

    engine.reset();  // the edits are plain again
    for (const OvEdit* edit : edits) EXPECT_TRUE(edit->DroppedOnEntry().isNull());
}

TEST_F(EditConstraintFocusTest, OutOfRangeTextIsReportedAndReplacedByTheLastAcceptedOne) {
    const std::vector<OvEdit*> edits = BuildIp();
    edits[1]->setText("999");  // set by the program: giving the focus back must not check it
    ShowActive();
    edits[0]->setFocus();
    QTest::keyClicks(edits[0], "300");
    QCoreApplication::processEvents();  // the full field moves the focus on, which checks it
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, kIpRangeMessage);
    EXPECT_EQ(ui.boxes[0].caption, ProgramFileName());
    EXPECT_FALSE(ui.boxes[0].caption.contains('/'));
    EXPECT_EQ(ui.boxes[0].parent, &form);
    EXPECT_EQ(edits[0]->text(), "");  // never left with a valid text
    EXPECT_EQ(QApplication::focusWidget(), edits[0]);
    EXPECT_EQ(edits[1]->text(), "999");
    edits[1]->clear();

    QTest::keyClicks(edits[0], "192");
    QCoreApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), edits[1]);
    edits[0]->setFocus();
    edits[0]->selectAll();
    QTest::keyClicks(edits[0], "256");
    QCoreApplication::processEvents();
    EXPECT_EQ(ui.BoxTexts(), (std::vector<QString>{kIpRangeMessage, kIpRangeMessage}));
    EXPECT_EQ(edits[0]->text(), "192");
    // Putting back a full text moves no focus: the edit keeps it.
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), edits[0]);
}

TEST_F(EditConstraintTest, EmptyAndPlaceholderTexts) {
    OvEdit& plain = Constrained("%u{n0x255}");
    OvEdit& required = Constrained("%u{l9n}");
    Leave(plain);
    EXPECT_TRUE(ui.boxes.empty());
    for (const char* placeholder : {"(NOTDONE)", "(NULL)"}) {
        SCOPED_TRACE(placeholder);
        required.setText(placeholder);  // neither filtered nor checked
        EXPECT_EQ(required.text(), placeholder);
        Leave(required);
    }
    EXPECT_TRUE(ui.beeps.empty());
    EXPECT_TRUE(ui.boxes.empty());
    required.clear();
    Leave(required);
    EXPECT_EQ(ui.BoxTexts(), (std::vector<QString>{"Empty value is not allowed!"}));
}

TEST_F(EditConstraintTest, ConversionsFilterWhatIsTyped) {
    const struct {
        const char* specifier;
        const char* typed;
        const char* kept;
        std::size_t beeps;
    } rows[] = {
        {"%u{w36n0x255l3ae.}", "1a", "1", 1},
        {"%i", "-5", "-5", 0},
        {"%i", "5-", "5", 1},
        {"%f", "-1.5", "-1.5", 0},
        {"%f", "1.5.", "1.5", 1},
        {"%n.{l3f}", ".1.", "1.", 1},
        {"%n.{l3f}", "1..", "1.", 1},
        {"%n.{l3f}", "1.2.3", "1.2", 0},  // "l" limits the characters too
        {"%s{l12a}", "a#b c", "a#b c", 0},
    };
    ShowActive();
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.specifier) + " " + row.typed);
        ui.beeps.clear();
        OvEdit& edit = Constrained(row.specifier);
        edit.show();
        edit.setFocus();
        QTest::keyClicks(&edit, row.typed);
        EXPECT_EQ(edit.text(), row.kept);
        EXPECT_EQ(edit.cursorPosition(), edit.text().size());
        EXPECT_EQ(ui.beeps, (std::vector<std::pair<int, int>>(row.beeps, {1000, 200})));
    }
}

TEST_F(EditConstraintTest, PasswordFieldMovesOnAfterTheTwelfthCharacter) {
    ShowActive();
    OvEdit& edit = Constrained("%s{l12a}");
    edit.show();
    edit.setFocus();
    QTest::keyClicks(&edit, "abcdefghijk");
    EXPECT_TRUE(ui.focusPosts.empty());
    QTest::keyClicks(&edit, "lm");
    EXPECT_EQ(edit.text(), "abcdefghijkl");
    EXPECT_EQ(ui.focusPosts, (std::vector<QWidget*>{&form}));
}

TEST_F(EditConstraintTest, TextsSetByTheProgramKeepTheirLengthAndAreCheckedOnExit) {
    OvEdit& ip = Constrained("%u{w36n0x255l3ae.}");
    for (const char* placeholder : {"(NOTDONE)", "(NULL)"}) {
        ip.setText(placeholder);
        EXPECT_EQ(ip.text(), placeholder);
    }
    EXPECT_TRUE(ui.beeps.empty());
    const struct {
        const char* specifier;
        const char* text;
        const char* message;
    } rows[] = {
        {"%s{l4}", "abcdef", "Please enter a string whose length is less than 4!"},
        {"%h{l2}", "ABCD", "Please enter a hex string whose length is less than 2!"},
        {"%n.{l2}", "1.2.3",
         "Please enter a delimited number string with delimiter '.'.\nHere,the count of the number is less "
         "than 2!"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.specifier);
        ui.boxes.clear();
        OvEdit& edit = Constrained(row.specifier);
        edit.setText(row.text);
        EXPECT_EQ(edit.text(), row.text);
        Leave(edit);
        EXPECT_EQ(ui.BoxTexts(), (std::vector<QString>{row.message}));
    }
}

TEST_F(EditConstraintTest, BoundsAreReportedWithTheUsersDecimalSeparator) {
    LocaleSettings comma;
    comma.decimalSeparator = ',';
    engine->SetLocale(comma);
    OvEdit& edit = Constrained("%f{n0.5x2.25}");
    edit.setText("3");
    Leave(edit);
    EXPECT_EQ(ui.BoxTexts(), (std::vector<QString>{"Please enter a number between 0,5 and 2,25!"}));
}

TEST_F(EditConstraintTest, TypingAndPastingStopAtTheLimit) {
    ShowActive();
    OvEdit& edit = Constrained("%s{l4}");
    edit.show();
    edit.setFocus();
    QTest::keyClicks(&edit, "abcdef");
    EXPECT_EQ(edit.text(), "abcd");
    edit.setCursorPosition(1);
    edit.insert("XYZ");  // a paste keeps what fits, nothing when full
    EXPECT_EQ(edit.text(), "abcd");
    edit.setSelection(1, 2);
    edit.insert("XYZ");
    EXPECT_EQ(edit.text(), "aXYd");
    EXPECT_EQ(edit.cursorPosition(), 3);

    edit.setText("program");  // longer than the limit: the user can shorten it, not lengthen it
    QTest::keyClick(&edit, Qt::Key_End);
    QTest::keyClicks(&edit, "s");
    EXPECT_EQ(edit.text(), "program");
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(edit.text(), "progr");
    edit.undo();  // back to the text the program set, whole
    EXPECT_EQ(edit.text(), "program");
    edit.clear();
    QTest::keyClicks(&edit, "123456");
    EXPECT_EQ(edit.text(), "1234");
    EXPECT_TRUE(ui.beeps.empty());
}

TEST_F(EditConstraintTest, PanelLiteralsAndDefaults) {
    std::vector<OvEdit*> edits;
    engine->BuildPanelEdits(*panel, "a%%b%u", &edits);
    const QList<QLabel*> labels = panel->findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels[0]->text(), "a%b");
    ASSERT_EQ(edits.size(), 1u);
    EXPECT_EQ(edits[0]->x(), labels[0]->width() + 1);
    EXPECT_EQ(engine->FindEntry(edits[0])->MaxValue, 4294967295.0);
}

TEST_F(EditConstraintTest, RowOfWidestEditsStopsAtTheWidestPosition) {
    // 200 edits of nearly the widest width reach past what an int position holds.
    std::string format;
    for (int i = 0; i < 200; ++i) format += "%u{w16777214}-";
    std::vector<OvEdit*> edits;
    engine->BuildPanelEdits(*panel, format, &edits);
    ASSERT_EQ(edits.size(), 200u);
    EXPECT_EQ(edits[0]->x(), 0);
    int previous = -1;
    for (const OvEdit* const edit : edits) {
        EXPECT_GE(edit->x(), previous);
        EXPECT_LE(edit->x(), QWIDGETSIZE_MAX);
        previous = edit->x();
    }
    EXPECT_EQ(edits.back()->x(), QWIDGETSIZE_MAX);
}

TEST_F(EditConstraintTest, BadSpecifierInPanelStopsTheRowAndLeavesTheEditUnconstrained) {
    std::vector<OvEdit*> edits;
    panel->SetCaption("kept");
    try {
        engine->BuildPanelEdits(*panel, "%u{w36%u", &edits);
        FAIL() << "accepted";
    } catch (const OvException& e) {
        EXPECT_EQ(e.Code(), -2);
        EXPECT_STREQ(e.what(), "Bad format specifier of edit's constraint!");
    }
    EXPECT_TRUE(edits.empty());
    const QList<OvEdit*> created = panel->findChildren<OvEdit*>();
    ASSERT_EQ(created.size(), 1);  // the second specifier was never reached
    EXPECT_EQ(engine->FindEntry(created[0]), nullptr);
    EXPECT_EQ(engine->EntryCount(), 0);
    EXPECT_EQ(panel->Caption(), "kept");
}

TEST_F(EditConstraintTest, BadSpecifierLeavesTheEditAsItWas) {
    OvEdit edit;
    int calls = 0;
    edit.SetOnChange([&calls](OvEdit&) { ++calls; });
    edit.setMaxLength(5);
    for (const char* specifier : {"%x", "%n", "%u{w36", "%u{q}"}) {
        SCOPED_TRACE(specifier);
        EXPECT_THROW(engine->ConstrainEdit(specifier, edit), OvException);
    }
    EXPECT_EQ(engine->FindEntry(&edit), nullptr);
    EXPECT_EQ(edit.maxLength(), 5);
    edit.setText("x");
    EXPECT_EQ(calls, 1);
}

TEST_F(EditConstraintTest, ConstrainEditsAppliesSpecifiersInOrder) {
    OvEdit first;
    OvEdit second;
    first.resize(80, 20);
    engine->ConstrainEdits("%u{w36}%s{l12a}%", {&first, &second});
    EXPECT_EQ(first.width(), 36);
    EXPECT_EQ(second.MaxLen(), 12);
    EXPECT_EQ(engine->EntryCount(), 2);

    OvEdit plain;
    plain.resize(80, 20);
    engine->ConstrainEdit("%u", plain);
    EXPECT_EQ(plain.width(), 80);
    EXPECT_EQ(plain.MaxLen(), 0);

    OvEdit only;
    try {
        engine->ConstrainEdits("%u%u", {&only});
        FAIL() << "accepted";
    } catch (const OvException& e) {
        EXPECT_EQ(e.Code(), -12);
        EXPECT_STREQ(e.what(), "Out of range at index of array or list!");
    }
    EXPECT_NE(engine->FindEntry(&only), nullptr);  // the first one was applied
    EXPECT_THROW(engine->ConstrainEdits("%%", {&only}), OvException);
}

TEST_F(EditConstraintTest, SavedHandlersRunFromTheEngineAndHonourTagMinusOne) {
    ShowActive();
    auto* const edit = new OvEdit(&form);
    std::vector<QString> changes;
    int exits = 0;
    edit->SetOnChange([&changes](OvEdit& e) { changes.push_back(e.text()); });
    edit->SetOnExit([&exits](OvEdit&) { ++exits; });
    engine->ConstrainEdit("%u{l3a}", *edit);
    edit->show();
    edit->setFocus();

    QTest::keyClicks(edit, "5a");
    EXPECT_EQ(changes, (std::vector<QString>{"5", "5"}));  // the refused "5a" never reaches it

    edit->setText("123");
    EXPECT_EQ(ui.focusPosts.size(), 1u);
    edit->SetTag(-1);  // the saved handler's veto: no auto-advance
    edit->setText("");
    edit->setText("124");
    EXPECT_EQ(ui.focusPosts.size(), 1u);

    Leave(*edit);  // accepted, but the saved handler says -1: the last accepted text comes back
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(edit->text(), "");
    EXPECT_EQ(engine->FindEntry(edit)->LastText, "");

    edit->SetTag(0);
    edit->setText("7");
    Leave(*edit);
    EXPECT_EQ(exits, 2);
    EXPECT_EQ(engine->FindEntry(edit)->LastText, "7");
}

TEST_F(EditConstraintTest, WithoutRememberAndRejectedTextsNoTextIsKept) {
    OvEditConstraint forgetful(&form, false);
    OvEdit edit;
    forgetful.ConstrainEdit("%u{x9}", edit);
    int exits = 0;
    forgetful.FindEntry(&edit)->SavedOnExit = [&exits](OvEdit&) { ++exits; };
    edit.setText("5");
    Leave(edit);
    edit.setText("50");
    Leave(edit);  // rejected: the saved handler does not hear of it
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(edit.text(), "");
    EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST_F(EditConstraintTest, ProgramAndPastedTextsAreHandledAtOnce) {
    OvEdit& edit = Constrained("%u");
    std::vector<QString> changes;
    engine->FindEntry(&edit)->SavedOnChange = [&changes](OvEdit& e) { changes.push_back(e.text()); };
    edit.setText("a1b2c3");
    EXPECT_EQ(edit.text(), "123");
    EXPECT_EQ(ui.beeps.size(), 1u);  // one beep for the whole text
    EXPECT_EQ(changes, (std::vector<QString>{"123"}));

    OvEdit& full = Constrained("%u{l3ae.}");
    full.setText("123");
    EXPECT_TRUE(ui.focusPosts.empty());  // full, but not typed: the edit has no focus

    ShowActive();
    full.show();
    full.setFocus();
    full.clear();
    full.insert("1.2.");  // pasted: every advance character goes, the focus moves once
    EXPECT_EQ(full.text(), "12");
    EXPECT_EQ(ui.focusPosts.size(), 1u);
}

TEST_F(EditConstraintTest, DestroyingTheEngineGivesTheEditsTheirHandlersBack) {
    OvEdit edit;
    int own = 0;
    edit.SetOnChange([&own](OvEdit&) { ++own; });
    engine->ConstrainEdit("%u", edit);
    engine->ConstrainEdit("%u{l5}", edit);  // a second record
    // A handler installed after the engine's, which calls the engine's, stays in place.
    OvEdit wrapped;
    engine->ConstrainEdit("%u", wrapped);
    int wrapper = 0;
    const OvEdit::Handler engineHandler = wrapped.OnChange();
    wrapped.SetOnChange([&wrapper, engineHandler](OvEdit& e) {
        ++wrapper;
        engineHandler(e);
    });
    engine.reset();
    edit.setText("abc");
    EXPECT_EQ(edit.text(), "abc");  // no filter any more
    EXPECT_EQ(own, 1);
    EXPECT_FALSE(edit.OnExit());
    wrapped.setText("x");  // the engine's part does nothing now
    EXPECT_EQ(wrapper, 1);
    EXPECT_EQ(wrapped.text(), "x");
}

TEST_F(EditConstraintTest, EditsAndEngineMayGoInEitherOrder) {
    auto gone = std::make_unique<OvEdit>();
    engine->ConstrainEdit("%u", *gone);
    gone.reset();
    EXPECT_EQ(engine->FindEntry(nullptr), nullptr);  // the dead record belongs to no edit
    OvEdit edit;
    engine->ConstrainEdit("%u{l1a}", edit);
    engine->FindEntry(&edit)->SavedOnChange = [this](OvEdit&) { engine.reset(); };
    edit.setText("1");  // destroyed inside its own handler: it must not touch itself afterwards
    EXPECT_EQ(engine, nullptr);
    edit.setText("x");
    EXPECT_EQ(edit.text(), "x");
}

}  // namespace
