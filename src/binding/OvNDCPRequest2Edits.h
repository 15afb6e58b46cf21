#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include <QPointer>
#include <QString>

#include "binding/ControlBinding.h"
#include "binding/OvEditConstraint.h"
#include "binding/OvListView.h"
#include "binding/OvNDCPRequest2Controls.h"

// The adapter the device of a listed row was heard on; none when not known.
[[nodiscard]] NetworkAdapter RowAdapter(const OvListView& listView, int row);

// Shows a request's answers as rows of a report-style list view (one row per answer, one device
// per MAC address for a discovery) or, without a list view, in individually bound controls, and
// reads those controls back into the request's variables.
class OvNDCPRequest2Edits : public OvNDCPRequest2Controls {
public:
    explicit OvNDCPRequest2Edits(QWidget* ownerForm);
    ~OvNDCPRequest2Edits() override;

    // Binds the list view; hiddenColumns is a comma-separated list of column names ("3" for a
    // variable, "0.2" for a part) that come first, with width 0.
    void BindListView(OvListView* listView, std::string_view hiddenColumns);
    [[nodiscard]] OvListView* ListView() const { return listView_; }

    void BeforeRequest(std::uint8_t command) override;
    void PutResponse(std::uint8_t command) override;
    void CollectValues() override;
    void AfterRequest(std::uint8_t command) override;

    // Reads the selected row back into the readable variables without parts, each from the column
    // that the row layout (hidden columns first) gives it.
    void RowToVariables();

    OvListView::SelectItemHandler SavedSelectItem;
    std::vector<detail::ControlBinding_s> Bindings;
    std::vector<std::string> HiddenColumns;
    OvEditConstraint Constraints;

protected:
    // The rows of one synchronous discovery are gathered and appended to the list in one go.
    void BeginResponses() override;
    void EndResponses() noexcept override;

private:
    // One list column: a variable, or one part of a variable with parts.
    struct Column {
        std::string name;
        QString caption;
        int var;
        int part;  // -1 for a variable without parts
    };

    // The columns of a row in column order and the positions among them that hold a MAC address,
    // for the shape of the variables (their parts with their ids, or whether they are readable) and
    // the hidden columns they were worked out for.
    struct RowLayout {
        std::vector<int> shape;
        std::vector<std::string> hidden;
        std::vector<Column> columns;
        std::vector<int> macPositions;
        bool built = false;
    };

    [[nodiscard]] std::vector<Column> ColumnOrder() const;
    [[nodiscard]] const std::string& ColumnValue(const Column& column) const;
    void RebuildColumnsIfNeeded(const std::vector<Column>& columns);
    // The layout for the variables as they are now: answers of one request share their shape, so
    // rows after the first reuse it.
    const RowLayout& CurrentRowLayout();
    void AddRow(std::uint8_t command);
    // Rows in the list view and rows gathered for it.
    [[nodiscard]] int ListedRows() const;
    void AppendGatheredRows();
    [[nodiscard]] bool IsDuplicateDevice(const RowLayout& layout);
    void SyncMacIndex(const std::vector<int>& macPositions);
    void OnSelectItem(OvListView& listView, QTreeWidgetItem* item, bool selected);

    QPointer<OvListView> listView_;
    // The texts at the MAC address positions of the rows the binding added, for the duplicate
    // check; rebuilt from the list whenever its rows changed behind the binding's back.
    std::unordered_set<std::string> macIndex_;
    std::vector<int> macIndexPositions_;
    int macIndexRows_ = 0;
    RowLayout rowLayout_;
    std::vector<int> shapeScratch_;
    bool gatheringRows_ = false;
    QList<QStringList> gatheredRows_;
    QList<QVariant> gatheredTags_;  // the adapter of each gathered row
    std::shared_ptr<const int> alive_ = std::make_shared<const int>(0);
};
