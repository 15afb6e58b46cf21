// Edit-constraint specifiers and panel formats on the offscreen platform: parsing, filtering of
// typed text, the check on leaving an edit, and the panel of edits and labels a format builds.

#include "binding/EditSpecifier.h"
#include "FuzzInput.h"
#include "errors/Messages.h"
#include "binding/OvEdit.h"
#include "binding/OvEditConstraint.h"
#include "errors/OvException.h"
#include "binding/OvPanel.h"
#include "binding/UiHooks.h"

#include <QApplication>
#include <QByteArray>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr std::string_view kConversions = "fhinsu";

void CheckCode(const OvException& e, std::initializer_list<int> allowed, std::string_view what) {
    for (const int code : allowed) {
        if (e.Code() == code) return;
    }
    FuzzFailure(what, e.what());
}

// Whether kept is what remains of text after removing some of its characters.
[[nodiscard]] bool IsSubsequence(const QString& kept, const QString& text) {
    qsizetype at = 0;
    for (const QChar c : kept) {
        while (at < text.size() && text[at] != c) ++at;
        if (at == text.size()) return false;
        ++at;
    }
    return true;
}

[[nodiscard]] bool IsPlaceholder(const QString& text) {
    return text == QLatin1String("(NOTDONE)") || text == QLatin1String("(NULL)");
}

void CheckSpecifier(std::string_view format, const QString& text) {
    EditSpecifier specifier;
    try {
        specifier = ParseEditSpecifier(format);
    } catch (const OvException& e) {
        CheckCode(e, {-kBadFormatSpecifier, kUnknownError}, "specifier refusal code");
        return;
    }
    if (kConversions.find(specifier.Conversion) == std::string_view::npos) FuzzFailure("conversion letter");
    const QString filtered = FilterEditText(specifier, text);
    if (!IsSubsequence(filtered, text)) FuzzFailure("filtering only removes characters");
    if (FilterEditText(specifier, filtered) != filtered) FuzzFailure("a filtered text passes the filter");
    if (const auto rejection = RejectionOf(specifier, filtered); rejection && rejection->empty()) {
        FuzzFailure("a rejection has a message");
    }
}

// Types the text into each edit and leaves it; counts the message boxes shown.
void CheckEdits(OvEditConstraint& engine, const std::vector<OvEdit*>& edits, const QString& text,
                const int& boxes) {
    for (OvEdit* const edit : edits) {
        edit->setText(text);
        const detail::EditConstraint_s* const entry = engine.FindEntry(edit);
        if (entry == nullptr) continue;
        const QString typed = edit->text();
        if (!IsPlaceholder(typed)) {
            if (FilterEditText(*entry, typed) != typed) FuzzFailure("no disallowed character stays");
            if (entry->AdvanceChar != 0 && typed.contains(QChar::fromLatin1(entry->AdvanceChar))) {
                FuzzFailure("the advance character is removed");
            }
        }
        const bool rejected =
            !IsPlaceholder(typed) && (typed.isEmpty() ? (entry->Flags & EditSpecifier::kNotEmpty) != 0
                                                      : RejectionOf(*entry, typed).has_value());
        const int before = boxes;
        engine.EditExit(*edit);
        if ((boxes != before) != rejected) FuzzFailure("a text is reported exactly when it is refused");
        if (rejected && edit->text() != entry->LastText) FuzzFailure("a refused text is replaced");
        if (!rejected && !typed.isEmpty() && !IsPlaceholder(typed) && entry->LastText != typed) {
            FuzzFailure("an accepted text is remembered");
        }
    }
}

void CheckPanel(std::string_view format, const QString& text) {
    int boxes = 0;
    const ScopedUiHooks hooks(UiHooks{
        [](int, int) {}, [&boxes](QWidget*, const QString&, const QString&) { ++boxes; }, [](QWidget*) {}});
    const auto form = std::make_unique<QWidget>();
    auto* const panel = new OvPanel(form.get());  // owned by the form
    OvEditConstraint engine(form.get(), true);
    std::vector<OvEdit*> edits;
    try {
        engine.BuildPanelEdits(*panel, format, &edits);
    } catch (const OvException& e) {
        CheckCode(e, {-kBadFormatSpecifier, kUnknownError}, "panel refusal code");
    }
    int right = -1;
    for (const OvEdit* const edit : edits) {
        if (edit->parentWidget() != panel) FuzzFailure("the edits are the panel's");
        // Left to right, until a row reaches the widest position and the rest stand there.
        if (edit->x() <= right && edit->x() < QWIDGETSIZE_MAX)
            FuzzFailure("the edits stand left to right", std::string(format));
        right = edit->x() + edit->width() - 1;
    }
    CheckEdits(engine, edits, text, boxes);

    std::vector<std::unique_ptr<OvEdit>> own;
    std::vector<OvEdit*> more;
    for (const char c : format) {
        if (c != '%') continue;
        own.push_back(std::make_unique<OvEdit>(form.get()));
        more.push_back(own.back().get());
    }
    try {
        engine.ConstrainEdits(format, more);
    } catch (const OvException& e) {
        CheckCode(e, {-kBadFormatSpecifier, -kIndexOutOfRange, kUnknownError}, "constrain refusal code");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Never destroyed: at exit Qt's own statics go first, and an application object destroyed
    // after them loses its font caches. Reachable from here, it is not a leak.
    static const QApplication* const application = new QApplication(*argc, *argv);
    (void)application;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input({data, size});
    const std::uint8_t flags = input.Byte();
    const std::string format = input.LongText();
    const std::string rest = input.RestText();
    const QByteArray bytes(rest.data(), static_cast<qsizetype>(rest.size()));
    const QString text = (flags & 1) != 0 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
    CheckSpecifier(format, text);
    CheckPanel(format, text);
    return 0;
}
