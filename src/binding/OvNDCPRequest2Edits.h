#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include <QPointer>
#include <QString>

#include "ControlBinding.h"
#include "OvEditConstraint.h"
#include "OvListView.h"
#include "OvNDCPRequest2Controls.h"

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

    // Reads the selected row back into the variables without parts that are readable.
    void RowToVariables();

    OvListView::SelectItemHandler SavedSelectItem;
    std::vector<detail::ControlBinding_s> Bindings;
    std::vector<std::string> HiddenColumns;
    OvEditConstraint Constraints;

private:
    // One list column: a variable, or one part of a variable with parts.
    struct Column {
        std::string name;
        QString caption;
        int var;
        int part;  // -1 for a variable without parts
    };

    [[nodiscard]] std::vector<Column> ColumnOrder() const;
    [[nodiscard]] const std::string& ColumnValue(const Column& column) const;
    void RebuildColumnsIfNeeded(const std::vector<Column>& columns);
    void AddRow(std::uint8_t command);
    [[nodiscard]] bool IsDuplicateDevice(const std::vector<Column>& columns);
    void SyncMacIndex(const std::vector<int>& macPositions);
    void OnSelectItem(OvListView& listView, QTreeWidgetItem* item, bool selected);

    QPointer<OvListView> listView_;
    // The texts at the MAC address positions of the rows the binding added, for the duplicate
    // check; rebuilt from the list whenever its rows changed behind the binding's back.
    std::unordered_set<std::string> macIndex_;
    std::vector<int> macIndexPositions_;
    int macIndexRows_ = 0;
    std::shared_ptr<const int> alive_ = std::make_shared<const int>(0);
};
