#include "OvNDCPRequest2Edits.h"

#include <algorithm>
#include <span>

#include "OvException.h"
#include "OvNDCPClient.h"
#include "TextHelpers.h"
#include "VarTypes.h"

namespace {

constexpr std::int32_t kMacAddressPartId = 2;

LocaleSettings CurrentLocale() {
    const OvNDCPClient* client = ClientInstance();
    return client ? client->Locale() : LocaleSettings{};
}

}  // namespace

OvNDCPRequest2Edits::OvNDCPRequest2Edits(QWidget* ownerForm)
    : OvNDCPRequest2Controls(ownerForm), Constraints(ownerForm, true) {}

OvNDCPRequest2Edits::~OvNDCPRequest2Edits() {
    WaitForPendingCommands();
    if (listView_) listView_->SetOnSelectItem(SavedSelectItem);
}

void OvNDCPRequest2Edits::BindListView(OvListView* listView, std::string_view hiddenColumns) {
    listView_ = listView;
    listView->SetReadOnly(true);
    listView->SetRowSelect(true);
    listView->SetHideSelection(false);
    SavedSelectItem = listView->OnSelectItem();
    const std::weak_ptr<const int> alive = alive_;
    listView->SetOnSelectItem([this, alive](OvListView& view, QTreeWidgetItem* item, bool selected) {
        if (!alive.expired()) OnSelectItem(view, item, selected);
    });
    SplitText(hiddenColumns, HiddenColumns, ',');
}

std::vector<OvNDCPRequest2Edits::Column> OvNDCPRequest2Edits::ColumnOrder() const {
    std::vector<Column> all;
    const OvNDCPVarList& vars = Request.Vars;
    for (int v = 0; v < vars.Count(); ++v) {
        const detail::NDCPVar_s& var = vars.Var(v);
        if (var.Parts) {
            for (int p = 0; p < var.Parts->Count(); ++p) {
                all.push_back({std::to_string(v) + "." + std::to_string(p),
                               QString::fromStdString(var.Parts->Part(p).Name), v, p});
            }
        } else if (var.Access & kReadable) {
            all.push_back({std::to_string(v), QString::fromStdString(var.Name), v, -1});
        }
    }
    const auto hidden = [this](const Column& c) {
        return std::find(HiddenColumns.begin(), HiddenColumns.end(), c.name) != HiddenColumns.end();
    };
    std::stable_partition(all.begin(), all.end(), hidden);
    return all;
}

const std::string& OvNDCPRequest2Edits::ColumnValue(const Column& column) const {
    const detail::NDCPVar_s& var = Request.Vars.Var(column.var);
    return column.part < 0 ? var.Value : var.Parts->Part(column.part).Value;
}

void OvNDCPRequest2Edits::RebuildColumnsIfNeeded(const std::vector<Column>& columns) {
    if (listView_->ColumnCount() >= static_cast<int>(columns.size())) return;
    listView_->ClearColumns();
    for (const Column& column : columns) {
        const bool hidden =
            std::find(HiddenColumns.begin(), HiddenColumns.end(), column.name) != HiddenColumns.end();
        listView_->AddColumn(column.caption,
                             hidden ? 0 : listView_->HeaderTextWidth(column.caption + QStringLiteral("LR")));
    }
}

void OvNDCPRequest2Edits::BeforeRequest(std::uint8_t) {
    if (!listView_) return;
    RebuildColumnsIfNeeded(ColumnOrder());
    listView_->ClearRows();
    macIndex_.clear();
    macIndexRows_ = 0;
}

void OvNDCPRequest2Edits::PutResponse(std::uint8_t command) {
    if (listView_) {
        AddRow(command);
    } else {
        VariablesToControls(Request.Vars, Bindings, CurrentLocale());
    }
}

void OvNDCPRequest2Edits::SyncMacIndex(const std::vector<int>& macPositions) {
    if (macPositions == macIndexPositions_ && macIndexRows_ == listView_->RowCount()) return;
    macIndex_.clear();
    macIndexPositions_ = macPositions;
    macIndexRows_ = listView_->RowCount();
    for (int row = 0; row < macIndexRows_; ++row) {
        for (const int position : macPositions) macIndex_.insert(listView_->RowText(row, position).toStdString());
    }
}

bool OvNDCPRequest2Edits::IsDuplicateDevice(const std::vector<Column>& columns) {
    std::vector<int> macPositions;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const Column& column = columns[i];
        if (Request.Vars.Var(column.var).Parts->Part(column.part).Id == kMacAddressPartId) {
            macPositions.push_back(static_cast<int>(i));
        }
    }
    if (macPositions.empty()) return false;
    SyncMacIndex(macPositions);
    return std::any_of(macPositions.begin(), macPositions.end(), [&](int position) {
        return macIndex_.contains(ColumnValue(columns[static_cast<std::size_t>(position)]));
    });
}

void OvNDCPRequest2Edits::AddRow(std::uint8_t command) {
    const std::vector<Column> columns = ColumnOrder();
    const bool oneStructuredVariable = Request.Vars.Count() == 1 && Request.Vars.Var(0).Parts;
    if (command == kDiscoverCommand && oneStructuredVariable && IsDuplicateDevice(columns)) return;
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(columns.size()));
    for (const Column& column : columns) texts.push_back(QString::fromStdString(ColumnValue(column)));
    listView_->AppendRow(texts);
    if (macIndexRows_ + 1 == listView_->RowCount()) {
        for (const int position : macIndexPositions_) {
            macIndex_.insert(ColumnValue(columns[static_cast<std::size_t>(position)]));
        }
        ++macIndexRows_;
    }
}

void OvNDCPRequest2Edits::RowToVariables() {
    if (!listView_) return;
    const int row = listView_->SelectedRow();
    if (row < 0) return;
    int k = 0;
    for (int v = 0; v < Request.Vars.Count(); ++v) {
        detail::NDCPVar_s& var = Request.Vars.Var(v);
        if (var.Parts || !(var.Access & kReadable)) continue;
        var.Value = listView_->RowText(row, k).toStdString();
        ++k;
    }
}

void OvNDCPRequest2Edits::CollectValues() {
    for (int v = 0; v < Request.Vars.Count(); ++v) Request.Vars.Var(v).Value.clear();
    RowToVariables();
    ControlsToVariables(Request.Vars, Bindings, CurrentLocale());
}

void OvNDCPRequest2Edits::AfterRequest(std::uint8_t) {}

void OvNDCPRequest2Edits::OnSelectItem(OvListView& listView, QTreeWidgetItem* item, bool selected) {
    if (SavedSelectItem) SavedSelectItem(listView, item, selected);
    if (!selected) return;
    // A selection arrives from the toolkit, which cannot take an error: it is shown instead.
    try {
        RowToVariables();
        VariablesToControls(Request.Vars, Bindings, CurrentLocale());
    } catch (const OvException& e) {
        ReportError(QString::fromUtf8(e.what()));
    }
}
