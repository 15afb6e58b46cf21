#include "binding/format/PanelRow.h"

namespace {

// Reads a format from left to right, in literal text or inside a specifier.
class PanelRowReader {
public:
    explicit PanelRowReader(std::string_view format) : format_(format) {}

    std::vector<PanelItem> Read() {
        while (at_ < format_.size()) {
            if (inSpecifier_) {
                ReadSpecifierChar();
            } else {
                ReadLiteralChar();
            }
        }
        return std::move(items_);
    }

private:
    [[nodiscard]] bool LastAt(std::size_t i) const { return i + 1 >= format_.size(); }
    [[nodiscard]] bool BraceAfter(std::size_t i) const {
        return i + 1 < format_.size() && format_[i + 1] == '{';
    }

    void ReadLiteralChar() {
        const char c = format_[at_];
        bool entered = false;
        if (c == '%' && !LastAt(at_) && format_[at_ + 1] == '%') {
            label_ += '%';
            ++at_;
        } else if (c == '%') {
            specifierFrom_ = at_;
            depth_ = 0;
            inSpecifier_ = true;
            entered = true;
        } else {
            label_ += c;
        }
        if ((entered || LastAt(at_)) && !label_.empty()) {
            items_.push_back({PanelItem::Kind::Literal, label_});
            label_.clear();
        }
        ++at_;
    }

    void ReadSpecifierChar() {
        const char c = format_[at_];
        bool ended = false;
        bool reread = false;
        switch (c) {
            case 'n':
                if (!LastAt(at_) && depth_ == 0) {
                    ++at_;  // the delimiter
                    ended = !LastAt(at_) && !BraceAfter(at_);
                }
                break;
            case 'f':
            case 'h':
            case 'i':
            case 's':
            case 'u':
                ended = !LastAt(at_) && depth_ == 0 && !BraceAfter(at_);
                break;
            case '{':
                ++depth_;
                break;
            case '}':
                --depth_;
                ended = depth_ == 0;
                break;
            case '%':
                ended = true;
                reread = true;  // read again as literal text
                break;
            default:
                break;
        }
        if (ended) inSpecifier_ = false;
        if (ended || (!reread && LastAt(at_))) {
            // The specifier runs from its "%" up to this character, or up to the next "%".
            const std::size_t end = reread ? at_ : at_ + 1;
            items_.push_back({PanelItem::Kind::Specifier,
                              std::string(format_.substr(specifierFrom_, end - specifierFrom_))});
        }
        if (!reread) ++at_;
    }

    std::string_view format_;
    std::size_t at_ = 0;
    bool inSpecifier_ = false;
    int depth_ = 0;  // of the braces inside the specifier
    std::string label_;
    std::size_t specifierFrom_ = 0;  // where the specifier being read starts, at its "%"
    std::vector<PanelItem> items_;
};

}  // namespace

std::vector<PanelItem> ParsePanelRow(std::string_view format) { return PanelRowReader(format).Read(); }

std::vector<std::string> SplitSpecifiers(std::string_view format) {
    std::vector<std::string> specifiers;
    std::size_t from = 0;
    while (from < format.size()) {
        const std::size_t next = format.find('%', from + 1);
        const std::string_view specifier = format.substr(from, next - from);
        if (next != std::string_view::npos || specifier != "%") specifiers.emplace_back(specifier);
        from = next;
    }
    return specifiers;
}
