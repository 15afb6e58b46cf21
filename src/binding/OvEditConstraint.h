#pragma once

#include <QPointer>
#include <QString>
#include <initializer_list>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "binding/EditSpecifier.h"
#include "binding/OvEdit.h"
#include "vars/LocaleSettings.h"

class QWidget;

namespace detail {

// One constrained edit: its rules, its last accepted text and the handlers it had before.
struct EditConstraint_s : EditSpecifier {
    QPointer<OvEdit> Edit;  // not owned; null once the edit is destroyed
    QString LastText;
    OvEdit::Handler SavedOnChange;
    OvEdit::Handler SavedOnExit;
    QChar SavedDroppedOnEntry;  // the edit's before the constraint was attached
};

}  // namespace detail

// Turns the single-line edits of one window into formatted input fields. A format text of
// specifiers says what each edit accepts; every change of an edit's text is filtered, the focus
// moves on at a configured character or when the edit is full, and a text that breaks the rules
// is reported when the edit is left and replaced by the last accepted one.
//
// The engine must be used on the user-interface thread only. Destroying it gives every edit that
// still exists the handlers it had before, so no event can reach a destroyed engine.
class OvEditConstraint {
public:
    // The texts that pass both handlers unchecked.
    static constexpr std::string_view kNotDoneText = "(NOTDONE)";
    static constexpr std::string_view kNullText = "(NULL)";

    // form: the owner window (not owned), which moves the focus and parents the message boxes.
    // rememberText: store every accepted text as the edit's last accepted text.
    OvEditConstraint(QWidget* form, bool rememberText);
    ~OvEditConstraint();
    OvEditConstraint(const OvEditConstraint&) = delete;
    OvEditConstraint& operator=(const OvEditConstraint&) = delete;

    [[nodiscard]] QWidget* Form() const { return form_; }
    [[nodiscard]] bool RememberText() const noexcept { return rememberText_; }
    // The user's locale, in which the messages write their numbers; the defaults until set.
    void SetLocale(const LocaleSettings& locale) { locale_ = locale; }

    // Attaches one specifier to the edit. A bad specifier raises "Bad format specifier of edit's
    // constraint!" (code -2) and leaves the edit as it was. Constraining an edit again adds a
    // second record; the first keeps governing it.
    void ConstrainEdit(std::string_view specifier, OvEdit& edit);

    // Constrains the k-th edit with the k-th specifier of the format. Too few (or null) edits
    // raise "Out of range at index of array or list!" (code -12) once the first missing one is
    // needed; the specifiers before it stay applied.
    void ConstrainEdits(std::string_view format, std::span<OvEdit* const> edits);
    void ConstrainEdits(std::string_view format, std::initializer_list<OvEdit*> edits);

    // Creates, left to right with 1 pixel between neighbours, the labels and the constrained edits
    // of the format inside the panel, and appends the edits to `edits` when given. On a bad
    // specifier the edit being set up stays in the panel unconstrained and the rest of the format is
    // not processed. Afterwards a panel without error shows no caption and no bevel.
    void BuildPanelEdits(QWidget& panel, std::string_view format, std::vector<OvEdit*>* edits = nullptr);

    // Makes the edit's current text its last accepted text, as if the user had left the edit with
    // it: a text the program filled in then comes back after a rejected entry. Nothing for an edit
    // without record.
    void Remember(const OvEdit& edit);

    // Sets the edit's text as the program does, except that a full text does not move the focus on
    // even while the edit has it.
    void SetTextInPlace(OvEdit& edit, const QString& text);

    // The first record of the edit, or none.
    [[nodiscard]] detail::EditConstraint_s* FindEntry(const OvEdit* edit);
    [[nodiscard]] const detail::EditConstraint_s* FindEntry(const OvEdit* edit) const;
    [[nodiscard]] int EntryCount() const noexcept { return static_cast<int>(entries_.size()); }

    // The handlers installed on every constrained edit.
    void EditChange(OvEdit& edit);
    void EditExit(OvEdit& edit);

private:
    void Report(detail::EditConstraint_s& entry, OvEdit& edit, const std::string& message);
    // byFullField: the edit is full, rather than ended by its advance character.
    void MoveFocusOn(OvEdit& edit, bool byFullField) const;
    [[nodiscard]] OvEdit::Handler ChangeHandler();
    [[nodiscard]] OvEdit::Handler ExitHandler();
    [[nodiscard]] bool IsOwnHandler(const OvEdit::Handler& handler) const;
    void RestoreHandlers() noexcept;

    QPointer<QWidget> form_;
    bool rememberText_;
    LocaleSettings locale_;
    std::vector<std::unique_ptr<detail::EditConstraint_s>> entries_;  // stable addresses
    // Handlers hold a weak reference to it: once the engine is gone they do nothing.
    std::shared_ptr<void> alive_;
    bool reporting_ = false;
    bool holdingFocus_ = false;
};
