// The designed layout of the three windows: captions, client sizes, frames, control geometry,
// fonts, colours, cursors, columns and tab order.
#include <QHeaderView>
#include <QPushButton>
#include <QTimer>

#include <QStyle>

#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "app/TDLG_SetIP.h"
#include "app/TFM_About.h"
#include "app/WindowStyle.h"
#include "binding/OvLabel.h"

namespace {

struct Placed {
    std::string name;
    QRect geometry;  // in the parent's coordinates
};

// The window's caption, fixed frame and font, and where its controls are.
void ExpectWindow(const QWidget& window, const char* caption, QSize client,
                  const std::vector<Placed>& controls) {
    EXPECT_EQ(window.windowTitle(), QString::fromLatin1(caption));
    EXPECT_EQ(window.minimumSize(), client);
    EXPECT_EQ(window.maximumSize(), client);
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_EQ(window.font().pixelSize(), kWindowFontPixelHeight);
    EXPECT_EQ(window.font().families().value(0), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(window.font().styleHint(), QFont::SansSerif);
    for (const Placed& control : controls) {
        SCOPED_TRACE(control.name);
        const QWidget& widget = Child(window, control.name);
        EXPECT_EQ(widget.font().pixelSize(), kWindowFontPixelHeight);
        if (const auto* label = qobject_cast<const OvLabel*>(&widget)) {
            // Labels take the size of their caption in the font at hand; they are never clipped.
            EXPECT_EQ(label->pos(), control.geometry.topLeft());
            EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()));
        } else {
            EXPECT_EQ(widget.geometry(), control.geometry);
        }
    }
}

const char* const kButtons[] = {"SetIP", "Manage", "Refresh", "Exit", "About"};

std::vector<Placed> MainWindowControls() {
    std::vector<Placed> controls = {{"Panel1", {0, 0, 757, 89}},
                                    {"Image1", {0, 0, 757, 89}},
                                    {"Panel2", {0, 89, 152, 390}},
                                    {"IMG_MenuBG", {0, 0, 152, 70}},
                                    {"LV_DeviceList", {152, 89, 605, 390}},
                                    {"StatusBar", {0, 479, 757, 19}}};
    const int tops[] = {82, 146, 210, 274, 340};
    for (int i = 0; i < 5; ++i) {
        for (const char* twin : {"1", "2"})
            controls.push_back({std::string("IMG_") + kButtons[i] + twin, {24, tops[i], 104, 38}});
    }
    return controls;
}

class WindowLayoutTest : public MainFormFixture {
protected:
    void SetUp() override { CreateForm(); }
};

TEST_F(WindowLayoutTest, MainWindowIsFixedWithItsControlsWhereDesigned) {
    ExpectWindow(*form, "Orvalan Storage Configuration Utility", {757, 498}, MainWindowControls());
    EXPECT_FALSE(form->windowIcon().isNull());
    for (const char* name : {"Panel2", "StatusBar"}) {
        const QWidget& widget = Child(*form, name);
        EXPECT_TRUE(widget.autoFillBackground()) << name;
        EXPECT_EQ(widget.palette().color(QPalette::Window), QColor(197, 203, 205)) << name;
    }
}

TEST_F(WindowLayoutTest, OnlyTheTenButtonPicturesShowTheHandAndOnlyPlainOnesShowAtStart) {
    for (const Placed& control : MainWindowControls()) {
        const std::string& name = control.name;
        const bool button = name.rfind("IMG_", 0) == 0 && name != "IMG_MenuBG";
        const QWidget& widget = Child(*form, name);
        EXPECT_EQ(widget.cursor().shape(), button ? Qt::PointingHandCursor : Qt::ArrowCursor) << name;
        if (button) {
            EXPECT_EQ(widget.isHidden(), name.back() == '2') << name;
        }
    }
    EXPECT_EQ(Child<PictureBox>(*form, "Image1").Picture().size(), QSize(765, 95));
    EXPECT_EQ(Child<PictureBox>(*form, "Image1").PictureOrigin(), QPoint(0, 0));
    EXPECT_EQ(Child<PictureBox>(*form, "IMG_MenuBG").PictureOrigin(), QPoint(-4, 0));  // 160 wide, centred
}

TEST_F(WindowLayoutTest, DeviceListHasAZeroWidthModuleNameColumnAndANetmaskColumnFillingTheRest) {
    form->show();
    const std::pair<const char*, int> columns[] = {
        {"Module Name", 0}, {"Device Name", 120}, {"MAC Address", 120}, {"IP Address", 120}, {"Netmask", -1}};
    ASSERT_EQ(List().ColumnCount(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(List().ColumnCaption(i), QString::fromLatin1(columns[i].first));
        EXPECT_EQ(List().ColumnWidth(i),
                  columns[i].second >= 0 ? columns[i].second : List().viewport()->width() - 360);
    }
}

TEST(SetIPDialogLayout, ControlsFieldsAndTabOrderAreAsDesigned) {
    TDLG_SetIP dialog(nullptr);
    ExpectWindow(dialog, "Set IP and Netmask", {273, 152},
                 {{"StaticText1", {40, 12, 58, 17}},
                  {"PL_IPAddress", {101, 13, 163, 25}},
                  {"StaticText2", {48, 47, 49, 17}},
                  {"PL_Netmask", {101, 48, 163, 25}},
                  {"Label1", {8, 83, 86, 13}},
                  {"ED_Password", {102, 83, 158, 21}},
                  {"BT_OK", {116, 118, 59, 25}},
                  {"BT_Cancel", {198, 118, 62, 25}}});
    EXPECT_EQ(dialog.pos(), QPoint(224, 150));
    EXPECT_EQ(Child<QLabel>(dialog, "StaticText1").text(), QStringLiteral("IP Address:"));
    EXPECT_EQ(Child<QLabel>(dialog, "Label1").text(), QStringLiteral("Access password:"));
    EXPECT_EQ(dialog.PasswordEdit().echoMode(), QLineEdit::Password);
    EXPECT_EQ(dialog.PasswordEdit().style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr,
                                                       &dialog.PasswordEdit()),
              '*');
    EXPECT_EQ(dialog.PasswordEdit().MaxLen(), 12);
    for (const auto* edits : {&dialog.IPEdits(), &dialog.NetmaskEdits()}) {
        ASSERT_EQ(edits->size(), 4u);
        for (const OvEdit* edit : *edits) EXPECT_EQ(edit->width(), 36);
        EXPECT_LE(edits->back()->geometry().right(), 163);
    }

    std::vector<QWidget*> expected(dialog.IPEdits().begin(), dialog.IPEdits().end());
    expected.insert(expected.end(), dialog.NetmaskEdits().begin(), dialog.NetmaskEdits().end());
    expected.insert(expected.end(),
                    {&dialog.PasswordEdit(), &Child(dialog, "BT_OK"), &Child(dialog, "BT_Cancel")});
    // The chain is a circle; the first focus decides where on it the user starts.
    EXPECT_EQ(dialog.focusWidget(), expected.front());
    std::vector<QWidget*> chain;
    QWidget* widget = expected.front();
    do {
        if (widget->focusPolicy() & Qt::TabFocus) chain.push_back(widget);
        widget = widget->nextInFocusChain();
    } while (widget != expected.front() && chain.size() < 20);
    EXPECT_EQ(chain, expected);
}

TEST(AboutBoxLayout, LabelsAndButtonAreAsDesignedAndOkClosesTheBoxCentredOnItsOwner) {
    QWidget owner;
    owner.setGeometry(100, 80, 757, 498);
    owner.show();
    TFM_About about(&owner);
    ExpectWindow(about, "About Orvalan Storage Configuration Utility", {328, 132},
                 {{"Image1", {16, 18, 57, 57}},
                  {"Label1", {88, 16, 201, 13}},
                  {"Label2", {90, 40, 112, 13}},
                  {"Label3", {89, 64, 165, 13}},
                  {"BT_Ok", {239, 96, 75, 25}}});
    EXPECT_TRUE(Child(about, "Label1").font().bold());
    EXPECT_EQ(Child<QLabel>(about, "Label2").text(),
              QStringLiteral("Version 1.00") + QString(11, QLatin1Char(' ')));
    EXPECT_EQ(Child<PictureBox>(about, "Image1").Picture().size(), QSize(32, 32));

    QPoint centre;
    QTimer::singleShot(0, &about, [&] {
        centre = about.geometry().center();
        Child<QPushButton>(about, "BT_Ok").click();
    });
    EXPECT_EQ(about.exec(), QDialog::Accepted);
    EXPECT_LE((centre - owner.geometry().center()).manhattanLength(), 2);
}

}  // namespace
