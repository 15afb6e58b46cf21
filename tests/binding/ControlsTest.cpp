#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QTest>

#include "binding/OvComboBox.h"
#include "binding/OvEdit.h"
#include "binding/OvListView.h"
#include "binding/OvRadioGroup.h"
#include "errors/OvException.h"
#include "testkit/ExpectOvError.h"

namespace {

TEST(OvEditTest, MaxLenZeroMeansNoLimit) {
    OvEdit edit;
    for (const auto& [maxLen, readBack] : {std::pair{5, 5}, {-3, 0}, {0, 0}}) {
        SCOPED_TRACE(maxLen);
        edit.SetMaxLen(maxLen);
        EXPECT_EQ(edit.MaxLen(), readBack);
    }
    QTest::keyClicks(&edit, "abcdefg");
    EXPECT_EQ(edit.text(), "abcdefg");
    edit.SetMaxLen(5);
    edit.clear();
    QTest::keyClicks(&edit, "abcdefg");
    EXPECT_EQ(edit.text(), "abcde");
}

TEST(OvEditTest, ChangeHandlerCanBeSavedChainedAndPutBack) {
    OvEdit edit;
    std::vector<std::string> calls;
    edit.SetOnChange([&calls](OvEdit& e) { calls.push_back("old:" + e.text().toStdString()); });
    const OvEdit::Handler saved = edit.OnChange();
    edit.SetOnChange([&calls, saved](OvEdit& e) {
        calls.push_back("new");
        saved(e);
    });
    QTest::keyClicks(&edit, "a");  // typed
    edit.setText("b");             // set by the program
    edit.SetOnChange(saved);
    edit.setText("c");
    EXPECT_EQ(calls, (std::vector<std::string>{"new", "old:a", "new", "old:b", "old:c"}));
}

TEST(OvEditTest, HandlerMayReplaceItselfWhileRunning) {
    OvEdit edit;
    int second = 0;
    edit.SetOnChange([&second](OvEdit& e) { e.SetOnChange([&second](OvEdit&) { ++second; }); });
    edit.setText("a");
    edit.setText("b");
    EXPECT_EQ(second, 1);
}

// Every way of pasting offers the text to the handler first; what it declines is pasted as usual.
TEST(OvEditTest, PastingAndDroppingOfferTheTextToThePasteHandlerFirst) {
    OvEdit edit;
    std::vector<QString> offered;
    bool take = true;
    edit.SetOnPaste([&](OvEdit&, const QString& text) {
        offered.push_back(text);
        return take;
    });
    QGuiApplication::clipboard()->setText(QStringLiteral("10.0.0.5"));
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), "");

    // The context menu's Paste, which the edit finds by its text: else it would paste unoffered.
    QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, QPoint(1, 1), edit.mapToGlobal(QPoint(1, 1)));
    QCoreApplication::sendEvent(&edit, &menuEvent);
    auto* const menu = edit.findChild<QMenu*>();
    ASSERT_NE(menu, nullptr);
    for (QAction* const action : menu->actions()) {
        if (action->text().startsWith(QLineEdit::tr("&Paste"))) action->trigger();
    }
    menu->close();

    QMimeData dropped;
    dropped.setText(QStringLiteral("dropped"));
    QDragEnterEvent enter(QPoint(1, 1), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&edit, &enter);  // a drop reaches only the widget the drag entered
    QDropEvent drop(QPointF(1, 1), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&edit, &drop);
    EXPECT_EQ(offered, (std::vector<QString>{"10.0.0.5", "10.0.0.5", "dropped"}));
    EXPECT_EQ(edit.text(), "");

    take = false;
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), "10.0.0.5");
}

TEST(OvEditTest, ExitHandlerRunsOnlyWhenTheFocusMovesWithinTheWindow) {
    OvEdit edit;
    int exits = 0;
    edit.SetOnExit([&exits](OvEdit&) { ++exits; });
    const struct {
        Qt::FocusReason reason;
        int exits;
    } rows[] = {{Qt::TabFocusReason, 1},   {Qt::BacktabFocusReason, 1},      {Qt::MouseFocusReason, 1},
                {Qt::OtherFocusReason, 1}, {Qt::ActiveWindowFocusReason, 0}, {Qt::PopupFocusReason, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reason);
        exits = 0;
        QFocusEvent out(QEvent::FocusOut, row.reason);
        QApplication::sendEvent(&edit, &out);
        EXPECT_EQ(exits, row.exits);
    }
}

class ListViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        view.AddColumn("Hidden", 0);
        view.AddColumn("Name", 80);
        view.AddColumn("MAC", 0);
        view.resize(300, 200);
    }
    OvListView view;
};

TEST_F(ListViewTest, ZeroWidthColumnsTakeNoRoom) {
    view.AppendRow({"KVX-770B", "Disk one", "001122334455"});
    view.show();
    ASSERT_EQ(view.ColumnCount(), 3);
    EXPECT_EQ(view.ColumnCaption(1), "Name");
    EXPECT_EQ(view.ColumnWidth(0), 0);
    EXPECT_EQ(view.ColumnWidth(1), 80);
    EXPECT_EQ(view.ColumnWidth(2), 0);
    EXPECT_EQ(view.visualRect(view.model()->index(0, 0)).width(), 0);
    EXPECT_EQ(view.visualRect(view.model()->index(0, 1)).left(), 0);
    EXPECT_EQ(view.ColumnCaption(3), "");
    EXPECT_EQ(view.RowText(0, 2), "001122334455");
    EXPECT_EQ(view.RowText(0, 3), "");  // no such sub-item
    EXPECT_EQ(view.RowText(1, 0), "");  // no such row
    view.ClearColumns();
    EXPECT_EQ(view.ColumnCount(), 0);
}

TEST_F(ListViewTest, AHiddenColumnCannotBeDraggedOpenButAVisibleOneCan) {
    view.show();
    QWidget* const header = view.header()->viewport();
    const int middle = view.header()->height() / 2;
    const auto drag = [&](int from, int to) {
        QTest::mousePress(header, Qt::LeftButton, {}, QPoint(from, middle));
        QMouseEvent move(QEvent::MouseMove, QPointF(to, middle), header->mapToGlobal(QPointF(to, middle)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(header, &move);
        QTest::mouseRelease(header, Qt::LeftButton, {}, QPoint(to, middle));
    };
    drag(1, 60);  // the hidden first column's edge lies on the list's left border
    EXPECT_EQ(view.ColumnWidth(0), 0);
    EXPECT_EQ(view.ColumnWidth(1), 80);
    drag(79, 119);  // the visible column's right edge, where the hidden one starts
    EXPECT_EQ(view.ColumnWidth(1), 120);
    EXPECT_EQ(view.ColumnWidth(2), 0);
}

// A header click sorts by the column, a second one in reverse; addresses compare as numbers.
TEST_F(ListViewTest, HeaderClicksSortRowsWithTheirTagsAndAClearedListKeepsArrivalOrder) {
    view.SetColumnSortKey(1, OvListView::SortKey::DottedNumbers);
    view.SetSortable(true);
    view.show();
    const QStringList arrival = {"10.0.0.2", "9.255.0.1", "192.168.0.10", "192.168.0.9", "", "10.0.0.2"};
    const auto fill = [&] {
        view.ClearRows();
        for (int i = 0; i < arrival.size(); ++i)
            view.AppendRow({"m", arrival[i], "mac" + QString::number(i)}, i);
    };
    const auto column = [&](int c) {
        QStringList texts;
        for (int row = 0; row < view.RowCount(); ++row)
            texts << view.RowText(row, c) + (c == 2 ? "/" + view.RowTag(row).toString() : QString());
        return texts;
    };
    const auto clickHeader = [&](int c) {
        const QHeaderView* const head = view.header();
        QTest::mouseClick(
            head->viewport(), Qt::LeftButton, {},
            QPoint(head->sectionViewportPosition(c) + head->sectionSize(c) / 2, head->height() / 2));
    };
    fill();
    clickHeader(1);
    EXPECT_EQ(column(1),
              QStringList({"", "9.255.0.1", "10.0.0.2", "10.0.0.2", "192.168.0.9", "192.168.0.10"}));
    // Equal addresses keep their order of arrival, and every row its own tag.
    EXPECT_EQ(column(2), QStringList({"mac4/4", "mac1/1", "mac0/0", "mac5/5", "mac3/3", "mac2/2"}));
    clickHeader(1);
    EXPECT_EQ(column(1),
              QStringList({"192.168.0.10", "192.168.0.9", "10.0.0.2", "10.0.0.2", "9.255.0.1", ""}));
    view.SetColumnWidth(2, 80);
    clickHeader(2);  // text order
    EXPECT_EQ(column(2), QStringList({"mac0/0", "mac1/1", "mac2/2", "mac3/3", "mac4/4", "mac5/5"}));
    fill();
    EXPECT_EQ(column(1), arrival);
    EXPECT_EQ(view.header()->sortIndicatorSection(), -1);
    view.SetSortable(false);
    clickHeader(1);
    EXPECT_EQ(column(1), arrival);
}

TEST_F(ListViewTest, TheSelectedRowsCopyAsTabSeparatedTextUnderTheShownCaptions) {
    view.SetColumnWidth(2, 60);
    view.AppendRow({"KVX-770B", "Disk \"one\", \u00e9", "001122334455"});
    view.AppendRow({"KVX-770B", "Disk\ttwo\r\n", "001122334466"});
    EXPECT_EQ(view.SelectedRowsText(), "Name\tMAC\n");
    view.SelectRow(1);
    EXPECT_EQ(view.SelectedRowsText(), "Name\tMAC\nDisk two  \t001122334466\n");
    view.SelectRow(0);
    EXPECT_EQ(view.SelectedRowsText(), "Name\tMAC\nDisk \"one\", \u00e9\t001122334455\n");
}

TEST_F(ListViewTest, SelectionHandlerHearsUnselectThenSelect) {
    for (const char* caption : {"r0", "r1", "r2"}) view.AppendRow({caption});
    std::vector<std::pair<QString, bool>> events;
    view.SetOnSelectItem([&events, this](OvListView& lv, QTreeWidgetItem* item, bool selected) {
        EXPECT_EQ(&lv, &view);
        events.emplace_back(item->text(0), selected);
    });
    view.SelectRow(1);
    view.SelectRow(2);
    EXPECT_EQ(view.SelectedRow(), 2);
    view.SelectRow(-1);
    EXPECT_EQ(view.SelectedRow(), -1);
    EXPECT_EQ(view.SelectedItem(), nullptr);
    EXPECT_EQ(events, (std::vector<std::pair<QString, bool>>{
                          {"r1", true}, {"r1", false}, {"r2", true}, {"r2", false}}));
}

TEST_F(ListViewTest, TenThousandAppendsStayFast) {
    view.show();
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 10000; ++i) view.AppendRow({QString::number(i), "name", "mac"});
    QCoreApplication::processEvents();
    EXPECT_EQ(view.RowCount(), 10000);
    EXPECT_EQ(view.RowText(9999, 0), "9999");
    EXPECT_LT(timer.elapsed(), 5000);
}

TEST(ItemSelectorTest, ComboBoxAndRadioGroupSelectByPosition) {
    OvComboBox combo;
    combo.addItems({"Off", "On"});
    OvRadioGroup group("Mode");
    group.SetItems({"Off", "On", "Auto"});
    for (ItemSelector* selector : std::initializer_list<ItemSelector*>{&combo, &group}) {
        for (const auto& [index, selected] : {std::pair{1, 1}, {-1, -1}, {7, -1}, {0, 0}}) {
            SCOPED_TRACE(index);
            selector->SetItemIndex(index);
            EXPECT_EQ(selector->ItemIndex(), selected);
        }
    }
    EXPECT_EQ(group.ItemCount(), 3);
    EXPECT_EQ(group.ItemText(2), "Auto");
    EXPECT_EQ(combo.ItemText(1), "On");
    ExpectOvError([&] { (void)group.ItemText(-1); }, -12, "Out of range at index of array or list!");
    ExpectOvError([&] { (void)combo.ItemText(2); }, -12, "Out of range at index of array or list!");
    group.SetItems({"Only"});
    EXPECT_EQ(group.ItemCount(), 1);
    EXPECT_EQ(group.ItemIndex(), -1);
}

}  // namespace
