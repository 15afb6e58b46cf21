#pragma once

#include <QStringList>
#include <QTreeWidget>
#include <functional>
#include <vector>

class QItemSelection;

// A report-style list view: columns with caption and width, rows of a caption (column 0) and
// sub-items (columns 1 on), single whole-row selection, and one assignable item-selection handler.
// A column of width 0 is drawn as nothing at all, and the user cannot resize it open. When sortable,
// a click on a column's header sorts the rows by it, a second click in reverse; rows keep their tags,
// and emptying the list brings back the order of arrival.
class OvListView : public QTreeWidget {
    Q_OBJECT

public:
    // Called with the list view, the item and whether the item became selected (true) or
    // unselected (false).
    using SelectItemHandler = std::function<void(OvListView& listView, QTreeWidgetItem* item, bool selected)>;

    // How a column's texts compare: as text, or as dot-separated numbers (addresses, masks).
    enum class SortKey { Text, DottedNumbers };

    explicit OvListView(QWidget* parent = nullptr);

    [[nodiscard]] const SelectItemHandler& OnSelectItem() const noexcept { return onSelectItem_; }
    void SetOnSelectItem(SelectItemHandler handler) { onSelectItem_ = std::move(handler); }

    // Columns.
    void AddColumn(const QString& caption, int width);
    void ClearColumns();
    [[nodiscard]] int ColumnCount() const { return columnCount(); }
    [[nodiscard]] QString ColumnCaption(int column) const;
    [[nodiscard]] int ColumnWidth(int column) const;
    void SetColumnWidth(int column, int width);
    // Whether the user sees the column: it has a width, or fills what the others leave.
    [[nodiscard]] bool IsColumnShown(int column) const;
    void SetColumnSortKey(int column, SortKey key);
    [[nodiscard]] SortKey ColumnSortKey(int column) const;
    // Header clicks sort only while sortable, which it is not by default.
    void SetSortable(bool sortable);
    // The selected rows in their order on screen as tab-separated text: a line of the shown
    // columns' captions, then one line per row, each ended by a line break; tabs and line breaks
    // inside a text become spaces.
    [[nodiscard]] QString SelectedRowsText() const;
    // The width the header needs to draw the text in its font.
    [[nodiscard]] int HeaderTextWidth(const QString& text) const;

    // Rows, each with an optional tag that stays with it (the data of Qt::UserRole in column 0).
    // Appending costs the same for the first row and the ten-thousandth.
    QTreeWidgetItem* AppendRow(const QStringList& texts, const QVariant& tag = {});
    // tags holds one per row, or is empty.
    void AppendRows(const QList<QStringList>& rows, const QList<QVariant>& tags = {});
    [[nodiscard]] QVariant RowTag(int row) const;
    void ClearRows();
    [[nodiscard]] int RowCount() const { return topLevelItemCount(); }
    [[nodiscard]] QTreeWidgetItem* Row(int row) const { return topLevelItem(row); }
    // The caption for column 0, else sub-item column - 1; empty outside the row or the columns.
    [[nodiscard]] QString RowText(int row, int column) const;
    void SetRowText(int row, int column, const QString& text);

    // Selection: the selected row's position, or -1.
    [[nodiscard]] int SelectedRow() const;
    [[nodiscard]] QTreeWidgetItem* SelectedItem() const;
    // Selects the row (or nothing for -1).
    void SelectRow(int row);

    // Behaviour switches of the bound list view.
    void SetReadOnly(bool readOnly);
    void SetRowSelect(bool rowSelect);
    // When true, the selection is not drawn while the list view has no focus.
    void SetHideSelection(bool hide);

private:
    void SortBy(int column, Qt::SortOrder order);
    // No column sorted: the header shows no indicator.
    void ForgetSortOrder();
    void ReportSelection(const QItemSelection& selected, const QItemSelection& deselected);
    void ReportRows(const QItemSelection& selection, bool selected);

    SelectItemHandler onSelectItem_;
    std::vector<SortKey> sortKeys_;  // by column; columns beyond it sort as text
};
