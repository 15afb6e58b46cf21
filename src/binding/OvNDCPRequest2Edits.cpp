#include "binding/OvNDCPRequest2Edits.h"

#include <algorithm>
#include <span>

#include "device/DeviceText.h"
#include "errors/OvException.h"
#include "ndcp/OvNDCPClient.h"
#include "vars/TextHelpers.h"
#include "vars/VarTypes.h"

namespace {

constexpr std::int32_t kMacAddressPartId = 2;

// A value as the list shows it. A device's texts are bytes in no declared character set: read as
// UTF-8 where they are valid, every other byte as Latin-1, as the command line reads them, so that
// a Latin-1 name shows as written and exports as the command line lists it.
QString ListText(const std::string& value) {
    const bool ascii =
        std::all_of(value.begin(), value.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return QString::fromStdString(ascii ? value : DeviceTextAsUtf8(value));
}

LocaleSettings CurrentLocale() {
    const OvNDCPClient* client = ClientInstance();
    return client ? client->Locale() : LocaleSettings{};
}

}  // namespace

OvNDCPRequest2Edits::OvNDCPRequest2Edits(QWidget* ownerForm)
    : OvNDCPRequest2Controls(ownerForm), Constraints(ownerForm, true) {
    Constraints.SetLocale(CurrentLocale());
}

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

NetworkAdapter RowAdapter(const OvListView& listView, int row) {
    return listView.RowTag(row).value<NetworkAdapter>();
}

void OvNDCPRequest2Edits::BeforeRequest(std::uint8_t) {
    if (!listView_) return;
    RebuildColumnsIfNeeded(ColumnOrder());
    gatheredRows_.clear();
    gatheredTags_.clear();
    listView_->ClearRows();
    macIndex_.clear();
    macIndexPositions_.clear();
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
    if (macPositions == macIndexPositions_ && macIndexRows_ == ListedRows()) return;
    // The rebuild reads the list view, so gathered rows go there first.
    AppendGatheredRows();
    macIndex_.clear();
    macIndexPositions_ = macPositions;
    macIndexRows_ = listView_->RowCount();
    for (int row = 0; row < macIndexRows_; ++row) {
        for (const int position : macPositions)
            macIndex_.insert(listView_->RowText(row, position).toStdString());
    }
}

const OvNDCPRequest2Edits::RowLayout& OvNDCPRequest2Edits::CurrentRowLayout() {
    std::vector<int>& shape = shapeScratch_;
    shape.clear();
    const OvNDCPVarList& vars = Request.Vars;
    for (int v = 0; v < vars.Count(); ++v) {
        const detail::NDCPVar_s& var = vars.Var(v);
        if (!var.Parts) {
            shape.push_back((var.Access & kReadable) ? -1 : -2);
            continue;
        }
        shape.push_back(var.Parts->Count());
        for (int p = 0; p < var.Parts->Count(); ++p) shape.push_back(var.Parts->Part(p).Id);
    }
    if (rowLayout_.built && shape == rowLayout_.shape && HiddenColumns == rowLayout_.hidden) {
        return rowLayout_;
    }

    RowLayout layout;
    layout.shape = shape;
    layout.hidden = HiddenColumns;
    layout.columns = ColumnOrder();
    for (std::size_t i = 0; i < layout.columns.size(); ++i) {
        const Column& column = layout.columns[i];
        if (column.part >= 0 && vars.Var(column.var).Parts->Part(column.part).Id == kMacAddressPartId) {
            layout.macPositions.push_back(static_cast<int>(i));
        }
    }
    layout.built = true;
    rowLayout_ = std::move(layout);
    return rowLayout_;
}

bool OvNDCPRequest2Edits::IsDuplicateDevice(const RowLayout& layout) {
    if (layout.macPositions.empty()) return false;
    SyncMacIndex(layout.macPositions);
    return std::any_of(layout.macPositions.begin(), layout.macPositions.end(), [&](int position) {
        return macIndex_.contains(ColumnValue(layout.columns[static_cast<std::size_t>(position)]));
    });
}

void OvNDCPRequest2Edits::AddRow(std::uint8_t command) {
    const RowLayout& layout = CurrentRowLayout();
    const bool oneStructuredVariable = Request.Vars.Count() == 1 && Request.Vars.Var(0).Parts;
    if (command == kDiscoverCommand && oneStructuredVariable && IsDuplicateDevice(layout)) return;
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(layout.columns.size()));
    for (const Column& column : layout.columns) texts.push_back(ListText(ColumnValue(column)));
    const QVariant adapter = QVariant::fromValue(ResponseAdapter());
    if (gatheringRows_) {
        gatheredRows_.push_back(std::move(texts));
        gatheredTags_.push_back(adapter);
    } else {
        listView_->AppendRow(texts, adapter);
    }
    // The index follows the new row only if it was built for this layout's MAC address columns;
    // otherwise it falls behind, and the next duplicate check rebuilds it from the list.
    if (macIndexRows_ + 1 == ListedRows() && macIndexPositions_ == layout.macPositions) {
        for (const int position : layout.macPositions) {
            macIndex_.insert(ColumnValue(layout.columns[static_cast<std::size_t>(position)]));
        }
        ++macIndexRows_;
    }
}

int OvNDCPRequest2Edits::ListedRows() const {
    return listView_->RowCount() + static_cast<int>(gatheredRows_.size());
}

void OvNDCPRequest2Edits::AppendGatheredRows() {
    if (gatheredRows_.isEmpty()) return;
    if (listView_) listView_->AppendRows(gatheredRows_, gatheredTags_);
    gatheredRows_.clear();
    gatheredTags_.clear();
}

void OvNDCPRequest2Edits::BeginResponses() { gatheringRows_ = true; }

void OvNDCPRequest2Edits::EndResponses() noexcept {
    gatheringRows_ = false;
    AppendGatheredRows();
}

void OvNDCPRequest2Edits::RowToVariables() {
    if (!listView_) return;
    const int row = listView_->SelectedRow();
    if (row < 0) return;
    // Each variable without parts reads the column the layout gave it: hidden columns come first.
    const std::vector<Column>& columns = CurrentRowLayout().columns;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (columns[c].part >= 0) continue;
        Request.Vars.Var(columns[c].var).Value = listView_->RowText(row, static_cast<int>(c)).toStdString();
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
