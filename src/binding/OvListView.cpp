#include "binding/OvListView.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPalette>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QStyle>
#include <algorithm>
#include <functional>
#include <vector>

#include "binding/OvListViewAccessible.h"

OvListView::OvListView(QWidget* parent) : QTreeWidget(parent) {
    InstallListViewAccessibility();
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(0);
    setUniformRowHeights(true);  // keeps appending and scrolling independent of the row count
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setColumnCount(0);
    QHeaderView* const head = header();
    head->setStretchLastSection(false);
    head->setMinimumSectionSize(0);
    head->setSectionsMovable(false);
    head->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &OvListView::ReportSelection);
    // The header turns its indicator on a click; the rows follow it.
    connect(head, &QHeaderView::sortIndicatorChanged, this, &OvListView::SortBy);
    head->setSortIndicatorShown(true);  // drawn only once a column is sorted
    ForgetSortOrder();
    SetSortable(false);
}

void OvListView::SetSortable(bool sortable) { header()->setSectionsClickable(sortable); }

void OvListView::SortBy(int column, Qt::SortOrder order) {
    if (column >= 0 && column < columnCount()) sortItems(column, order);
}

void OvListView::ForgetSortOrder() {
    const QSignalBlocker quiet(header());
    header()->setSortIndicator(-1, Qt::AscendingOrder);
}

bool OvListView::IsColumnShown(int column) const {
    if (column < 0 || column >= columnCount()) return false;
    return header()->sectionResizeMode(column) != QHeaderView::Fixed || header()->sectionSize(column) > 0;
}

void OvListView::SetColumnSortKey(int column, SortKey key) {
    if (column < 0) return;
    if (sortKeys_.size() <= static_cast<std::size_t>(column)) sortKeys_.resize(column + 1, SortKey::Text);
    sortKeys_[column] = key;
}

OvListView::SortKey OvListView::ColumnSortKey(int column) const {
    if (column < 0 || static_cast<std::size_t>(column) >= sortKeys_.size()) return SortKey::Text;
    return sortKeys_[column];
}

QString OvListView::SelectedRowsText() const {
    QList<int> rows;
    for (QTreeWidgetItem* const item : selectedItems()) rows << indexOfTopLevelItem(item);
    std::sort(rows.begin(), rows.end());
    QList<int> columns;
    for (int column = 0; column < columnCount(); ++column)
        if (IsColumnShown(column)) columns << column;
    QString text;
    const auto addLine = [&](const std::function<QString(int)>& cell) {
        QStringList cells;
        // A tab or line break inside a text would start a new cell or row.
        for (const int column : columns)
            cells << cell(column).replace(QRegularExpression(QStringLiteral("[\t\r\n]")),
                                          QStringLiteral(" "));
        text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    };
    addLine([this](int column) { return ColumnCaption(column); });
    for (const int row : rows) addLine([this, row](int column) { return RowText(row, column); });
    return text;
}

void OvListView::AddColumn(const QString& caption, int width) {
    const int column = columnCount();
    setColumnCount(column + 1);
    headerItem()->setText(column, caption);
    SetColumnWidth(column, width);
}

void OvListView::ClearColumns() { setColumnCount(0); }

QString OvListView::ColumnCaption(int column) const {
    if (column < 0 || column >= columnCount()) return {};
    return headerItem()->text(column);
}

int OvListView::ColumnWidth(int column) const {
    if (column < 0 || column >= columnCount()) return 0;
    return header()->sectionSize(column);
}

void OvListView::SetColumnWidth(int column, int width) {
    if (column < 0 || column >= columnCount()) return;
    // A hidden column stays hidden: the user cannot drag its edge open.
    header()->setSectionResizeMode(column, width > 0 ? QHeaderView::Interactive : QHeaderView::Fixed);
    header()->resizeSection(column, width > 0 ? width : 0);
}

int OvListView::HeaderTextWidth(const QString& text) const {
    const int margin = style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header());
    return header()->fontMetrics().horizontalAdvance(text) + 2 * margin;
}

namespace {

// The numbers of a dotted text in order; a part that is not a number comes before every number.
std::vector<qint64> DottedNumbers(const QString& text) {
    std::vector<qint64> numbers;
    for (const QStringView part : QStringView(text).split(QLatin1Char('.'))) {
        bool ok = false;
        const qint64 number = part.toLongLong(&ok);
        numbers.push_back(ok && number >= 0 ? number : -1);
    }
    return numbers;
}

// A row that compares by its list view's sort key for the sorted column.
class ListRow : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;

    bool operator<(const QTreeWidgetItem& other) const override {
        const auto* const view = qobject_cast<const OvListView*>(treeWidget());
        const int column = view ? view->sortColumn() : 0;
        if (!view || view->ColumnSortKey(column) != OvListView::SortKey::DottedNumbers)
            return QTreeWidgetItem::operator<(other);
        return DottedNumbers(text(column)) < DottedNumbers(other.text(column));
    }
};

QTreeWidgetItem* NewRow(const QStringList& texts, const QVariant& tag) {
    auto* const item = new ListRow(texts);  // owned by the list view once added
    if (tag.isValid()) item->setData(0, Qt::UserRole, tag);
    return item;
}

}  // namespace

QTreeWidgetItem* OvListView::AppendRow(const QStringList& texts, const QVariant& tag) {
    QTreeWidgetItem* const item = NewRow(texts, tag);
    addTopLevelItem(item);
    return item;
}

void OvListView::AppendRows(const QList<QStringList>& rows, const QList<QVariant>& tags) {
    QList<QTreeWidgetItem*> items;
    items.reserve(rows.size());
    for (qsizetype i = 0; i < rows.size(); ++i) items.append(NewRow(rows[i], tags.value(i)));
    addTopLevelItems(items);  // one insertion for the whole batch
}

QVariant OvListView::RowTag(int row) const {
    const QTreeWidgetItem* const item = topLevelItem(row);
    return item ? item->data(0, Qt::UserRole) : QVariant();
}

void OvListView::ClearRows() {
    clear();
    // New rows arrive unsorted: the header stops claiming an order.
    ForgetSortOrder();
}

QString OvListView::RowText(int row, int column) const {
    const QTreeWidgetItem* const item = topLevelItem(row);
    if (item == nullptr || column < 0) return {};
    return item->text(column);
}

void OvListView::SetRowText(int row, int column, const QString& text) {
    QTreeWidgetItem* const item = topLevelItem(row);
    if (item != nullptr && column >= 0) item->setText(column, text);
}

QTreeWidgetItem* OvListView::SelectedItem() const {
    const QList<QTreeWidgetItem*> items = selectedItems();
    return items.isEmpty() ? nullptr : items.first();
}

int OvListView::SelectedRow() const {
    QTreeWidgetItem* const item = SelectedItem();
    return item == nullptr ? -1 : indexOfTopLevelItem(item);
}

void OvListView::SelectRow(int row) {
    QTreeWidgetItem* const item = topLevelItem(row);
    if (item == nullptr) {
        clearSelection();
        return;
    }
    setCurrentItem(item, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void OvListView::SetReadOnly(bool readOnly) {
    setEditTriggers(readOnly ? QAbstractItemView::NoEditTriggers
                             : QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
}

void OvListView::SetRowSelect(bool rowSelect) {
    setSelectionBehavior(rowSelect ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
    setAllColumnsShowFocus(rowSelect);
}

void OvListView::SetHideSelection(bool hide) {
    QPalette colours = palette();
    const QPalette defaults = QApplication::palette(this);
    colours.setColor(QPalette::Inactive, QPalette::Highlight,
                     hide ? colours.color(QPalette::Inactive, QPalette::Base)
                          : defaults.color(QPalette::Inactive, QPalette::Highlight));
    colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     hide ? colours.color(QPalette::Inactive, QPalette::Text)
                          : defaults.color(QPalette::Inactive, QPalette::HighlightedText));
    setPalette(colours);
}

void OvListView::ReportSelection(const QItemSelection& selected, const QItemSelection& deselected) {
    const QPointer<OvListView> self(this);
    ReportRows(deselected, false);
    if (self) ReportRows(selected, true);
}

void OvListView::ReportRows(const QItemSelection& selection, bool selected) {
    // Cell selections can name a row in several ranges: report each row once, in row order.
    std::vector<int> rows;
    for (const QItemSelectionRange& range : selection) {
        if (range.parent().isValid()) continue;
        for (int row = range.top(); row <= range.bottom(); ++row) rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    const QPointer<OvListView> self(this);
    for (const int row : rows) {
        QTreeWidgetItem* const item = topLevelItem(row);
        // A copy, so that the handler may replace itself while it runs.
        const SelectItemHandler handler = onSelectItem_;
        if (item != nullptr && handler) handler(*this, item, selected);
        if (!self) return;
    }
}
