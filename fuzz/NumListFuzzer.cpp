// The delimited-number list on arbitrary texts and delimiters.

#include "FuzzInput.h"
#include "vars/IntegerText.h"
#include "vars/OvNumList.h"
#include "vars/TextHelpers.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

[[nodiscard]] bool AllDigits(const std::string& piece) {
    return !piece.empty() && piece.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input({data, size});
    OvNumList list;
    list.Delimiter = static_cast<char>(input.Byte());
    const std::uint32_t min = input.Word();
    const std::uint32_t max = input.Word();
    const std::string text = input.RestText();

    list.ParseNumbers("7.7");  // the old numbers must go
    list.ParseNumbers(text);
    if (list.Count() != list.CountNumbers(text)) FuzzFailure("one number per piece", text);

    bool within = true;
    for (int i = 0; i < list.Count(); ++i) within = within && min <= list.At(i) && list.At(i) <= max;
    if (list.AllWithin(min, max) != within) FuzzFailure("the bounds check", text);
    if (!list.AllWithin(0, 0xFFFFFFFFu)) FuzzFailure("every number is within the full range", text);

    std::vector<std::string> pieces;
    SplitText(text, pieces, list.Delimiter);
    if (static_cast<int>(pieces.size()) != list.Count()) FuzzFailure("the pieces and the numbers", text);
    // A piece of digits alone is its decimal value in unsigned 32-bit arithmetic.
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (!AllDigits(pieces[i])) continue;
        const auto expected = static_cast<std::uint32_t>(LeadingInteger(pieces[i]));
        if (list.At(static_cast<int>(i)) != expected) FuzzFailure("a piece of digits", pieces[i]);
    }
    return 0;
}
