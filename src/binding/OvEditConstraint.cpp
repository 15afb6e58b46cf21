#include "binding/OvEditConstraint.h"

#include <QFrame>
#include <QMetaObject>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <cstdint>
#include <string>

#include "binding/OvLabel.h"
#include "binding/OvPanel.h"
#include "binding/UiHooks.h"
#include "binding/format/PanelRow.h"
#include "errors/Messages.h"

namespace {

constexpr int kBeepFrequencyHz = 1000;
constexpr int kBeepDurationMs = 200;

// The handler the engine installs on an edit. It reaches the engine only while the engine lives;
// its type lets the engine recognise its own handlers when it gives the edits theirs back.
struct EngineHandler {
    std::weak_ptr<void> alive;
    OvEditConstraint* engine;
    bool exit;

    void operator()(OvEdit& edit) const {
        if (alive.expired()) return;
        if (exit) {
            engine->EditExit(edit);
        } else {
            engine->EditChange(edit);
        }
    }
};

bool IsPlaceholder(const QString& text) {
    return text ==
               QLatin1String(OvEditConstraint::kNotDoneText.data(), OvEditConstraint::kNotDoneText.size()) ||
           text == QLatin1String(OvEditConstraint::kNullText.data(), OvEditConstraint::kNullText.size());
}

// Where the next control of a panel row goes after one at x of the given width. Rows stop growing
// at the widest a widget can be, so that a format of many wide edits never overflows a position.
int NextPosition(int x, int width) {
    return static_cast<int>(std::min<std::int64_t>(std::int64_t{x} + width + 1, QWIDGETSIZE_MAX));
}

// Creates an automatically sized label at x in the panel and returns its width.
int AddLabel(QWidget& panel, const std::string& caption, int x) {
    auto* const label = new OvLabel(QString::fromStdString(caption), &panel);  // owned by the panel
    label->move(x, 0);
    label->show();
    return label->width();
}

// Creates an edit at x in the panel, after `previous` in the focus chain.
OvEdit* AddEdit(QWidget& panel, int x, OvEdit* previous) {
    auto* const edit = new OvEdit(&panel);  // owned by the panel
    edit->resize(edit->sizeHint());
    edit->move(x, 0);
    edit->show();
    if (previous != nullptr) QWidget::setTabOrder(previous, edit);
    return edit;
}

void HideCaptionAndBevels(QWidget& panel) {
    if (auto* const ovPanel = qobject_cast<OvPanel*>(&panel)) {
        ovPanel->SetCaption(QString());
        ovPanel->SetBevelInner(OvPanel::Bevel::None);
        ovPanel->SetBevelOuter(OvPanel::Bevel::None);
    } else if (auto* const frame = qobject_cast<QFrame*>(&panel)) {
        frame->setFrameShape(QFrame::NoFrame);
    }
}

// Sets a switch of the engine for its lifetime and resets it on every way out, unless the engine
// went away meanwhile (a handler run inside may delete it).
class RaisedWhileAlive {
public:
    RaisedWhileAlive(const std::shared_ptr<void>& alive, bool& flag) : alive_(alive), flag_(flag) {
        flag_ = true;
    }
    ~RaisedWhileAlive() {
        if (!alive_.expired()) flag_ = false;
    }
    RaisedWhileAlive(const RaisedWhileAlive&) = delete;
    RaisedWhileAlive& operator=(const RaisedWhileAlive&) = delete;

private:
    std::weak_ptr<void> alive_;
    bool& flag_;
};

// The character of an 8-bit specifier character.
QChar Latin1(char c) { return QChar::fromLatin1(c); }

}  // namespace

OvEditConstraint::OvEditConstraint(QWidget* form, bool rememberText)
    : form_(form), rememberText_(rememberText), alive_(std::make_shared<int>(0)) {}

OvEditConstraint::~OvEditConstraint() { RestoreHandlers(); }

void OvEditConstraint::RestoreHandlers() noexcept {
    // Latest first, so that an edit constrained twice ends with the handlers it had at first.
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        detail::EditConstraint_s& entry = **it;
        if (!entry.Edit) continue;
        // A handler installed after ours (which may call ours) is left in place: ours, inside it,
        // does nothing once the engine is gone.
        if (IsOwnHandler(entry.Edit->OnChange())) entry.Edit->SetOnChange(entry.SavedOnChange);
        if (IsOwnHandler(entry.Edit->OnExit())) entry.Edit->SetOnExit(entry.SavedOnExit);
        entry.Edit->SetDroppedOnEntry(entry.SavedDroppedOnEntry);
    }
}

OvEdit::Handler OvEditConstraint::ChangeHandler() { return EngineHandler{alive_, this, false}; }

OvEdit::Handler OvEditConstraint::ExitHandler() { return EngineHandler{alive_, this, true}; }

bool OvEditConstraint::IsOwnHandler(const OvEdit::Handler& handler) const {
    const auto* const own = handler.target<EngineHandler>();
    return own != nullptr && own->engine == this && !own->alive.expired();
}

void OvEditConstraint::ConstrainEdit(std::string_view specifier, OvEdit& edit) {
    const EditSpecifier rules = ParseEditSpecifier(specifier);  // raises before anything changes
    const bool first = FindEntry(&edit) == nullptr;
    auto entry = std::make_unique<detail::EditConstraint_s>();
    static_cast<EditSpecifier&>(*entry) = rules;
    entry->Edit = &edit;
    entry->SavedOnChange = edit.OnChange();
    entry->SavedOnExit = edit.OnExit();
    entry->SavedDroppedOnEntry = edit.DroppedOnEntry();
    entries_.push_back(std::move(entry));
    // The advance character typed into a field it has just moved the focus to is the user's habit of
    // ending the previous field with it, not a wish to skip this one.
    if (first && rules.AdvanceChar != 0) edit.SetDroppedOnEntry(Latin1(rules.AdvanceChar));
    if (rules.Width > 0) edit.setFixedWidth(rules.Width);
    edit.SetMaxLen(rules.MaxLen);
    edit.SetOnChange(ChangeHandler());
    edit.SetOnExit(ExitHandler());
}

void OvEditConstraint::ConstrainEdits(std::string_view format, std::span<OvEdit* const> edits) {
    std::size_t next = 0;
    for (const std::string& specifier : SplitSpecifiers(format)) {
        if (next >= edits.size() || edits[next] == nullptr) RaiseConstraintError(kIndexOutOfRange);
        ConstrainEdit(specifier, *edits[next]);
        ++next;
    }
}

void OvEditConstraint::ConstrainEdits(std::string_view format, std::initializer_list<OvEdit*> edits) {
    ConstrainEdits(format, std::span<OvEdit* const>(edits.begin(), edits.size()));
}

void OvEditConstraint::BuildPanelEdits(QWidget& panel, std::string_view format, std::vector<OvEdit*>* edits) {
    int x = 0;
    OvEdit* previous = nullptr;
    for (const PanelItem& item : ParsePanelRow(format)) {
        if (item.kind == PanelItem::Kind::Literal) {
            x = NextPosition(x, AddLabel(panel, item.text, x));
            continue;
        }
        OvEdit* const edit = AddEdit(panel, x, previous);
        ConstrainEdit(item.text, *edit);  // on error the edit stays, unconstrained
        x = NextPosition(x, edit->width());
        if (edits != nullptr) edits->push_back(edit);
        previous = edit;
    }
    HideCaptionAndBevels(panel);
}

detail::EditConstraint_s* OvEditConstraint::FindEntry(const OvEdit* edit) {
    if (edit == nullptr) return nullptr;  // a destroyed edit's record reads null too
    for (const auto& entry : entries_) {
        if (entry->Edit == edit) return entry.get();
    }
    return nullptr;
}

const detail::EditConstraint_s* OvEditConstraint::FindEntry(const OvEdit* edit) const {
    if (edit == nullptr) return nullptr;
    for (const auto& entry : entries_) {
        if (entry->Edit == edit) return entry.get();
    }
    return nullptr;
}

void OvEditConstraint::Remember(const OvEdit& edit) {
    if (detail::EditConstraint_s* const entry = FindEntry(&edit)) entry->LastText = edit.text();
}

void OvEditConstraint::SetTextInPlace(OvEdit& edit, const QString& text) {
    const RaisedWhileAlive holding(alive_, holdingFocus_);
    edit.setText(text);  // runs EditChange
}

void OvEditConstraint::MoveFocusOn(OvEdit& edit, bool byFullField) const {
    // Only typing moves the focus: a text the program sets into an edit without focus, or the last
    // accepted text put back after a report, leaves the focus where it is.
    if (reporting_ || holdingFocus_ || !edit.hasFocus()) return;
    QWidget* const window = form_ ? form_.data() : edit.window();
    PostFocusNext(window);
    if (!byFullField) return;
    // After the move: the edit it reaches drops a Tab typed first.
    QMetaObject::invokeMethod(
        window,
        [target = QPointer<QWidget>(window)] {
            if (auto* const reached = target ? qobject_cast<OvEdit*>(target->focusWidget()) : nullptr) {
                reached->MarkEnteredByAdvance();
            }
        },
        Qt::QueuedConnection);
}

void OvEditConstraint::EditChange(OvEdit& edit) {
    const QString text = edit.text();
    if (IsPlaceholder(text)) return;
    detail::EditConstraint_s* const entry = FindEntry(&edit);
    if (entry == nullptr || text.isEmpty()) return;

    const std::weak_ptr<void> alive = alive_;
    const QPointer<OvEdit> guard(&edit);
    if (entry->AdvanceChar != 0 && text.contains(Latin1(entry->AdvanceChar))) {
        // Every occurrence goes at once: a pasted text moves the focus one control on, not one
        // per occurrence.
        QString without = text;
        without.remove(Latin1(entry->AdvanceChar));
        edit.setText(without);  // runs EditChange again for the new text
        if (alive.expired() || !guard) return;
        MoveFocusOn(edit, false);
        return;
    }

    const QString filtered = FilterEditText(*entry, text);
    if (filtered != text) {
        // All offending characters go at once, with one beep: a long pasted text neither nests
        // one call per character nor beeps for minutes.
        const int cursor = edit.cursorPosition() - static_cast<int>(text.size() - filtered.size());
        edit.setText(filtered);  // runs EditChange again for the new text
        if (alive.expired() || !guard) return;
        edit.setCursorPosition(std::max(0, cursor));
        Beep(kBeepFrequencyHz, kBeepDurationMs);
        return;
    }

    if (entry->SavedOnChange) {
        const OvEdit::Handler saved = entry->SavedOnChange;
        saved(edit);
        if (alive.expired() || !guard) return;
        if (edit.Tag() == -1) return;
    }
    if ((entry->Flags & EditSpecifier::kAutoAdvance) != 0 && entry->MaxLen > 0 &&
        edit.text().size() == entry->MaxLen) {
        MoveFocusOn(edit, true);
    }
}

void OvEditConstraint::EditExit(OvEdit& edit) {
    // Giving the focus back after a report makes the control that had just received it lose it
    // again; that is no exit of the user's.
    if (reporting_) return;
    const QString text = edit.text();
    if (IsPlaceholder(text)) return;
    detail::EditConstraint_s* const entry = FindEntry(&edit);
    if (entry == nullptr) return;

    if (text.isEmpty()) {
        if ((entry->Flags & EditSpecifier::kNotEmpty) != 0) {
            Report(*entry, edit, std::string(ConstraintText(kEmptyValueNotAllowed)));
        }
        return;
    }
    if (const std::optional<std::string> rejection = RejectionOf(*entry, text, locale_)) {
        Report(*entry, edit, *rejection);
        return;
    }

    if (entry->SavedOnExit) {
        const std::weak_ptr<void> alive = alive_;
        const QPointer<OvEdit> guard(&edit);
        const OvEdit::Handler saved = entry->SavedOnExit;
        saved(edit);
        if (alive.expired() || !guard) return;
        if (edit.Tag() == -1) {
            edit.setText(entry->LastText);
            return;
        }
    }
    if (rememberText_) entry->LastText = edit.text();
}

void OvEditConstraint::Report(detail::EditConstraint_s& entry, OvEdit& edit, const std::string& message) {
    const std::weak_ptr<void> alive = alive_;
    const QPointer<OvEdit> guard(&edit);
    const RaisedWhileAlive reporting(alive_, reporting_);
    ShowMessageBox(form_ ? form_.data() : edit.window(), QString::fromStdString(message));
    if (alive.expired() || !guard) return;
    edit.setText(entry.LastText);
    if (alive.expired() || !guard) return;
    edit.setFocus(Qt::OtherFocusReason);
}
