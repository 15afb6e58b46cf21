#include "binding/OvListViewAccessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QWindow>
#include <algorithm>
#include <utility>

#include "binding/OvListView.h"

namespace {

// The model columns the user sees, in their order.
QList<int> ShownColumns(const OvListView& view) {
    QList<int> columns;
    for (int column = 0; column < view.ColumnCount(); ++column)
        if (view.IsColumnShown(column)) columns << column;
    return columns;
}

// One cell of the list, or with an invalid index the header of a column. It follows its row when
// the rows are sorted, through the persistent index.
class ListCellAccessible : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    ListCellAccessible(OvListView* view, const QModelIndex& index, int headerColumn)
        : view_(view), index_(index), headerColumn_(headerColumn) {}

    [[nodiscard]] bool isValid() const override {
        if (!view_) return false;
        return IsHeader() ? view_->IsColumnShown(headerColumn_) : index_.isValid();
    }
    [[nodiscard]] QObject* object() const override { return nullptr; }
    [[nodiscard]] QWindow* window() const override {
        return view_ ? view_->window()->windowHandle() : nullptr;
    }
    [[nodiscard]] QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    [[nodiscard]] QAccessibleInterface* parent() const override {
        return view_ ? QAccessible::queryAccessibleInterface(view_.data()) : nullptr;
    }
    [[nodiscard]] QAccessibleInterface* child(int) const override { return nullptr; }
    [[nodiscard]] int childCount() const override { return 0; }
    [[nodiscard]] int indexOfChild(const QAccessibleInterface*) const override { return -1; }

    [[nodiscard]] QString text(QAccessible::Text t) const override {
        if (!isValid()) return {};
        const int role = t == QAccessible::Name          ? Qt::DisplayRole
                         : t == QAccessible::Description ? Qt::AccessibleDescriptionRole
                                                         : -1;
        if (role < 0) return {};
        if (IsHeader()) return view_->model()->headerData(headerColumn_, Qt::Horizontal, role).toString();
        return index_.data(role).toString();
    }
    void setText(QAccessible::Text, const QString&) override {}  // the list is read-only

    [[nodiscard]] QRect rect() const override {
        if (!isValid()) return {};
        if (IsHeader()) {
            const QHeaderView* const header = view_->header();
            const QRect section(header->sectionViewportPosition(headerColumn_), 0,
                                header->sectionSize(headerColumn_), header->height());
            return section.translated(header->viewport()->mapToGlobal(QPoint(0, 0)));
        }
        return view_->visualRect(index_).translated(view_->viewport()->mapToGlobal(QPoint(0, 0)));
    }
    [[nodiscard]] QAccessible::Role role() const override {
        return IsHeader() ? QAccessible::ColumnHeader : QAccessible::Cell;
    }
    [[nodiscard]] QAccessible::State state() const override {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        const QRect shown = view_->viewport()->rect();
        if (IsHeader()) {
            state.invisible = view_->header()->isHidden();
            return state;
        }
        state.invisible = !view_->visualRect(index_).intersects(shown);
        state.selectable = true;
        state.selected = isSelected();
        state.focusable = true;
        state.focused = view_->hasFocus() && view_->currentIndex().row() == index_.row();
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TableCellInterface && !IsHeader())
            return static_cast<QAccessibleTableCellInterface*>(this);
        return nullptr;
    }

    [[nodiscard]] bool isSelected() const override {
        return view_ && index_.isValid() && view_->selectionModel()->isSelected(index_);
    }
    [[nodiscard]] QList<QAccessibleInterface*> columnHeaderCells() const override {
        QAccessibleInterface* const table = parent();
        if (!table || !isValid()) return {};
        // The header cells come first among the table's children.
        return {table->child(columnIndex())};
    }
    [[nodiscard]] QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    [[nodiscard]] int columnIndex() const override {
        return view_ ? static_cast<int>(ShownColumns(*view_).indexOf(Column())) : -1;
    }
    [[nodiscard]] int rowIndex() const override { return IsHeader() ? -1 : index_.row(); }
    [[nodiscard]] int columnExtent() const override { return 1; }
    [[nodiscard]] int rowExtent() const override { return 1; }
    [[nodiscard]] QAccessibleInterface* table() const override { return parent(); }

    // Whether it still stands for that row (-1: the header) and model column.
    [[nodiscard]] bool IsAt(int row, int modelColumn) const {
        return isValid() && Column() == modelColumn && (IsHeader() ? row < 0 : index_.row() == row);
    }

private:
    [[nodiscard]] bool IsHeader() const noexcept { return headerColumn_ >= 0; }
    [[nodiscard]] int Column() const { return IsHeader() ? headerColumn_ : index_.column(); }

    QPointer<OvListView> view_;
    QPersistentModelIndex index_;
    int headerColumn_;  // -1 for a cell
};

// The list as a table: the header cells of the shown columns, then row by row the cells under them.
class ListViewAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit ListViewAccessible(OvListView* view) : QAccessibleWidget(view, QAccessible::Table) {}
    ~ListViewAccessible() override { ForgetCells(); }
    ListViewAccessible(const ListViewAccessible&) = delete;
    ListViewAccessible& operator=(const ListViewAccessible&) = delete;

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    [[nodiscard]] int childCount() const override { return (rowCount() + 1) * columnCount(); }
    [[nodiscard]] QAccessibleInterface* child(int index) const override {
        const int columns = columnCount();
        if (index < 0 || columns == 0 || index >= childCount()) return nullptr;
        const int row = index / columns - 1;  // the header row comes first
        return row < 0 ? HeaderCell(index % columns) : cellAt(row, index % columns);
    }
    [[nodiscard]] int indexOfChild(const QAccessibleInterface* child) const override {
        const auto* const cell = child ? dynamic_cast<const ListCellAccessible*>(child) : nullptr;
        if (!cell || !cell->isValid() || cell->parent() != this) return -1;
        const int column = cell->columnIndex();
        return column < 0 ? -1 : (cell->rowIndex() + 1) * columnCount() + column;
    }
    [[nodiscard]] QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint at = View().viewport()->mapFromGlobal(QPoint(x, y));
        const QModelIndex index = View().indexAt(at);
        if (!index.isValid() || !View().IsColumnShown(index.column())) return nullptr;
        return Cell(index.row(), index.column());
    }
    [[nodiscard]] QAccessibleInterface* focusChild() const override {
        const QModelIndex current = View().currentIndex();
        if (!current.isValid()) return nullptr;
        const QList<int> shown = ShownColumns(View());
        return shown.isEmpty() ? nullptr : Cell(current.row(), shown.front());
    }

    // Table.
    [[nodiscard]] QAccessibleInterface* caption() const override { return nullptr; }
    [[nodiscard]] QAccessibleInterface* summary() const override { return nullptr; }
    [[nodiscard]] QAccessibleInterface* cellAt(int row, int column) const override {
        const QList<int> shown = ShownColumns(View());
        if (row < 0 || row >= rowCount() || column < 0 || column >= shown.size()) return nullptr;
        return Cell(row, shown[column]);
    }
    [[nodiscard]] int columnCount() const override { return static_cast<int>(ShownColumns(View()).size()); }
    [[nodiscard]] int rowCount() const override { return View().RowCount(); }
    [[nodiscard]] QString columnDescription(int column) const override {
        const QList<int> shown = ShownColumns(View());
        return column >= 0 && column < shown.size() ? View().ColumnCaption(shown[column]) : QString();
    }
    [[nodiscard]] QString rowDescription(int) const override { return {}; }
    [[nodiscard]] int selectedCellCount() const override { return selectedRowCount() * columnCount(); }
    [[nodiscard]] QList<QAccessibleInterface*> selectedCells() const override {
        QList<QAccessibleInterface*> cells;
        for (const int row : selectedRows())
            for (int column = 0; column < columnCount(); ++column) cells << cellAt(row, column);
        return cells;
    }
    [[nodiscard]] int selectedColumnCount() const override { return 0; }
    [[nodiscard]] int selectedRowCount() const override { return static_cast<int>(selectedRows().size()); }
    [[nodiscard]] QList<int> selectedColumns() const override { return {}; }
    [[nodiscard]] QList<int> selectedRows() const override {
        QList<int> rows;
        for (const QModelIndex& index : View().selectionModel()->selectedRows()) rows << index.row();
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    [[nodiscard]] bool isColumnSelected(int) const override { return false; }
    [[nodiscard]] bool isRowSelected(int row) const override { return selectedRows().contains(row); }
    // Whole rows are selected, one at a time; columns cannot be.
    bool selectRow(int row) override {
        if (row < 0 || row >= rowCount()) return false;
        View().SelectRow(row);
        return true;
    }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int row) override {
        if (!isRowSelected(row)) return false;
        View().SelectRow(-1);
        return true;
    }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent*) override { ForgetCells(); }

private:
    [[nodiscard]] OvListView& View() const { return *static_cast<OvListView*>(widget()); }

    // The cell's interface, made on first use and kept while the cell stays where it is. A sort
    // or a removal moves the persistent index of the kept one; then a new one takes its place.
    [[nodiscard]] QAccessibleInterface* Cell(int row, int modelColumn) const {
        const auto key = std::make_pair(row, modelColumn);
        if (const auto found = cells_.constFind(key); found != cells_.constEnd()) {
            auto* const kept = static_cast<ListCellAccessible*>(QAccessible::accessibleInterface(*found));
            if (kept && kept->IsAt(row, modelColumn)) return kept;
            QAccessible::deleteAccessibleInterface(*found);
            cells_.erase(found);
        }
        const QModelIndex index = row < 0 ? QModelIndex() : View().model()->index(row, modelColumn);
        auto* const cell = new ListCellAccessible(&View(), index, row < 0 ? modelColumn : -1);
        const QAccessible::Id id = QAccessible::registerAccessibleInterface(cell);  // owns it
        cells_.insert(key, id);
        return cell;
    }
    [[nodiscard]] QAccessibleInterface* HeaderCell(int column) const {
        const QList<int> shown = ShownColumns(View());
        return column >= 0 && column < shown.size() ? Cell(-1, shown[column]) : nullptr;
    }
    void ForgetCells() {
        for (const QAccessible::Id id : std::as_const(cells_)) QAccessible::deleteAccessibleInterface(id);
        cells_.clear();
    }

    mutable QHash<std::pair<int, int>, QAccessible::Id> cells_;  // by row (-1: header) and model column
};

QAccessibleInterface* ListViewAccessibleFactory(const QString& /*key*/, QObject* object) {
    auto* const view = qobject_cast<OvListView*>(object);
    return view ? new ListViewAccessible(view) : nullptr;  // owned by the accessibility cache
}

}  // namespace

void InstallListViewAccessibility() {
    static const bool installed = (QAccessible::installFactory(ListViewAccessibleFactory), true);
    Q_UNUSED(installed);
}
