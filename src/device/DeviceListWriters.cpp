#include "device/DeviceListWriters.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

#include "device/DeviceText.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr std::size_t kFieldCount = 6;

// The fields of a device in the order of the machine-readable forms.
std::array<std::string_view, kFieldCount> Fields(const ListedDevice& device) {
    return {device.name, device.mac, device.ip, device.netmask, device.module, device.adapter.name};
}
constexpr std::array<std::string_view, kFieldCount> kFieldNames = {"name",    "mac",    "ip",
                                                                   "netmask", "module", "adapter"};

// Calls visit(code) for each character of the bytes.
template <typename Visit>
void ForEachCharacter(std::string_view bytes, Visit&& visit) {
    for (std::size_t pos = 0; pos < bytes.size();) {
        const DecodedCharacter c = CharacterAt(bytes, pos);
        visit(c.code);
        pos += c.length;
    }
}

// ---- table

struct Cell {
    std::string text;
    std::size_t width = 0;  // characters
};

Cell TableCell(std::string_view bytes) {
    Cell cell;
    ForEachCharacter(bytes, [&cell](char32_t code) {
        if (IsControlCharacter(code)) {
            cell.text += "\\x";
            cell.text.push_back(kHexDigits[code >> 4 & 0xF]);
            cell.text.push_back(kHexDigits[code & 0xF]);
            cell.width += 4;
        } else {
            AppendUtf8(cell.text, code);
            ++cell.width;
        }
    });
    return cell;
}

std::string TableText(std::span<const ListedDevice> devices) {
    constexpr std::size_t kColumns = 5;
    using Row = std::array<Cell, kColumns>;
    std::vector<Row> rows;
    rows.reserve(devices.size() + 1);
    rows.push_back({TableCell("Device Name"), TableCell("MAC Address"), TableCell("IP Address"),
                    TableCell("Netmask"), TableCell("Adapter")});
    for (const ListedDevice& device : devices) {
        rows.push_back({TableCell(device.name), TableCell(device.mac), TableCell(device.ip),
                        TableCell(device.netmask), TableCell(device.adapter.name)});
    }
    std::array<std::size_t, kColumns> widths{};
    for (const Row& row : rows) {
        for (std::size_t c = 0; c < kColumns; ++c) widths[c] = std::max(widths[c], row[c].width);
    }
    std::string text;
    for (const Row& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < kColumns; ++c) {
            line += row[c].text;
            if (c + 1 < kColumns) line.append(widths[c] - row[c].width + 2, ' ');
        }
        // An empty last column leaves no blanks behind.
        line.erase(line.find_last_not_of(' ') + 1);
        text += line;
        text += '\n';
    }
    return text;
}

// ---- JSON

// Printable ASCII that a JSON string holds as it is.
constexpr bool IsPlainJson(char c) noexcept { return c >= 0x20 && c < 0x7F && c != '"' && c != '\\'; }

void AppendJsonCharacter(std::string& out, char32_t code) {
    if (code == '"' || code == '\\') {
        out += '\\';
        out.push_back(static_cast<char>(code));
    } else if (IsControlCharacter(code) || code == 0x2028 || code == 0x2029) {
        out += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHexDigits[code >> shift & 0xF]);
    } else {
        AppendUtf8(out, code);
    }
}

void AppendJsonString(std::string& out, std::string_view bytes) {
    out += '"';
    for (std::size_t pos = 0; pos < bytes.size();) {
        // Runs of plain characters, the whole of nearly every field, are copied as they are.
        std::size_t end = pos;
        while (end < bytes.size() && IsPlainJson(bytes[end])) ++end;
        out.append(bytes.substr(pos, end - pos));
        if (end == bytes.size()) break;
        const DecodedCharacter c = CharacterAt(bytes, end);
        AppendJsonCharacter(out, c.code);
        pos = end + c.length;
    }
    out += '"';
}

std::string JsonText(std::span<const ListedDevice> devices) {
    if (devices.empty()) return "[]\n";
    constexpr std::size_t kTypicalObjectSize = 160;
    std::string text = "[\n";
    text.reserve(devices.size() * kTypicalObjectSize);
    for (std::size_t d = 0; d < devices.size(); ++d) {
        const auto fields = Fields(devices[d]);
        text += "  {";
        for (std::size_t f = 0; f < kFieldCount; ++f) {
            if (f > 0) text += ", ";
            AppendJsonString(text, kFieldNames[f]);
            text += ": ";
            AppendJsonString(text, fields[f]);
        }
        text += d + 1 < devices.size() ? "},\n" : "}\n";
    }
    text += "]\n";
    return text;
}

// ---- CSV

void AppendCsvField(std::string& out, std::string_view bytes) {
    std::string field;
    bool quote = !bytes.empty() && (bytes.front() == ' ' || bytes.back() == ' ');
    ForEachCharacter(bytes, [&](char32_t code) {
        quote = quote || code == ',' || code == '"' || IsControlCharacter(code);
        if (code == '"') field += '"';
        AppendUtf8(field, code);
    });
    if (quote) out += '"';
    out += field;
    if (quote) out += '"';
}

std::string CsvText(std::span<const ListedDevice> devices) {
    std::string text;
    const auto appendRecord = [&text](const std::array<std::string_view, kFieldCount>& fields) {
        for (std::size_t f = 0; f < kFieldCount; ++f) {
            if (f > 0) text += ',';
            AppendCsvField(text, fields[f]);
        }
        text += "\r\n";
    };
    appendRecord(kFieldNames);
    for (const ListedDevice& device : devices) appendRecord(Fields(device));
    return text;
}

}  // namespace

std::string DeviceListText(std::span<const ListedDevice> devices, ListFormat format) {
    switch (format) {
        case ListFormat::Json:
            return JsonText(devices);
        case ListFormat::Csv:
            return CsvText(devices);
        case ListFormat::Table:
            break;
    }
    return TableText(devices);
}
