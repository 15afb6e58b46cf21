#include "ProcessStatus.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace {

constexpr std::string_view kBlanks = " \t\n";

// The fields of the text separated by blanks and line breaks.
std::vector<std::string_view> Fields(std::string_view text) {
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t start = text.find_first_not_of(kBlanks, at);
        if (start == std::string_view::npos) break;
        const std::size_t end = std::min(text.find_first_of(kBlanks, start), text.size());
        fields.push_back(text.substr(start, end - start));
        at = end;
    }
    return fields;
}

std::optional<std::uint64_t> Number(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<std::uint64_t> StatCpuTicks(std::string_view statLine) {
    const std::size_t nameEnd = statLine.rfind(')');
    if (nameEnd == std::string_view::npos) return std::nullopt;
    // Field 3 (the state) is the first after the name; fields 14 and 15 are the 12th and 13th.
    const std::vector<std::string_view> fields = Fields(statLine.substr(nameEnd + 1));
    if (fields.size() < 13 || fields[0] == "Z" || fields[0] == "X") return std::nullopt;
    const std::optional<std::uint64_t> user = Number(fields[11]);
    const std::optional<std::uint64_t> system = Number(fields[12]);
    if (!user || !system) return std::nullopt;
    return *user + *system;
}

namespace {

// The fields after the key of the first line that starts with it; none without such a line.
std::optional<std::vector<std::string_view>> StatusFields(std::string_view statusText, std::string_view key) {
    std::size_t at = 0;
    while (at < statusText.size()) {
        const std::size_t end = std::min(statusText.find('\n', at), statusText.size());
        const std::string_view line = statusText.substr(at, end - at);
        if (line.starts_with(key)) return Fields(line.substr(key.size()));
        at = end + 1;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::uint64_t> StatusVoluntarySwitches(std::string_view statusText) {
    const auto fields = StatusFields(statusText, "voluntary_ctxt_switches:");
    return fields && fields->size() == 1 ? Number(fields->front()) : std::nullopt;
}

std::optional<std::uint64_t> StatusPeakResidentBytes(std::string_view statusText) {
    const auto fields = StatusFields(statusText, "VmHWM:");
    if (!fields || fields->size() != 2 || (*fields)[1] != "kB") return std::nullopt;
    const std::optional<std::uint64_t> kibibytes = Number(fields->front());
    return kibibytes ? std::optional(*kibibytes * 1024) : std::nullopt;
}

std::optional<ScheduleTimes> SchedstatTimes(std::string_view schedstatLine) {
    const std::vector<std::string_view> fields = Fields(schedstatLine);
    if (fields.size() != 3) return std::nullopt;
    const std::optional<std::uint64_t> run = Number(fields[0]);
    const std::optional<std::uint64_t> wait = Number(fields[1]);
    if (!run || !wait) return std::nullopt;
    return ScheduleTimes{*run, *wait};
}
