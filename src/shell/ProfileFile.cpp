#include "shell/ProfileFile.h"

#include <utility>

#include "common/CodePage1252.h"
#include "common/Files.h"
#include "common/Text.h"
#include "common/Unicode.h"

namespace reradav {
namespace {

constexpr std::size_t npos = std::string::npos;
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LittleMark = "\xFF\xFE";
constexpr std::string_view kUtf16BigMark = "\xFE\xFF";

// What the Windows profile functions take for blanks around names and values.
constexpr std::string_view kBlanks = " \t\v\f\r";

bool IsBlank(char c) {
    return kBlanks.find(c) != std::string_view::npos;
}

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

bool EnclosedInQuotes(std::string_view text) {
    return text.size() >= 2 && IsQuote(text.front()) && text.back() == text.front();
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

// How a value is put after "=" so that it reads back as itself (see WriteString).
// A value is one line, and a NUL in it would make the file no text at all: it is dropped.
std::string EncodeValue(std::string_view line) {
    std::string value(line.substr(0, line.find_first_of("\r\n")));
    std::erase(value, '\0');
    bool padded = !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()));
    if (padded || EnclosedInQuotes(value)) {
        return '"' + value + '"';
    }
    return value;
}

}  // namespace

bool ProfileFile::Parse(std::string_view bytes) {
    *this = ProfileFile();
    std::string text(bytes);
    bool valid = true;
    if (bytes.starts_with(kUtf8Mark)) {
        text.erase(0, kUtf8Mark.size());
        encoding_ = Encoding::Utf8;
        valid = DecodeUtf8(text).has_value();
    } else if (bytes.starts_with(kUtf16LittleMark) || bytes.starts_with(kUtf16BigMark)) {
        const bool big = bytes.starts_with(kUtf16BigMark);
        encoding_ = big ? Encoding::Utf16BigEndian : Encoding::Utf16LittleEndian;
        const std::optional<std::u32string> decoded = DecodeUtf16(bytes.substr(2), big);
        valid = decoded.has_value();
        text = EncodeUtf8(decoded.value_or(U""));
    }
    if (!valid || text.find('\0') != npos) {
        *this = ProfileFile();
        return false;
    }
    bool firstEnd = true;
    for (std::string_view rest = text; !rest.empty();) {
        const std::size_t end = rest.find_first_of("\r\n");
        lines_.push_back(ParseLine(std::string(rest.substr(0, end))));
        if (end == npos) {
            break;
        }
        const std::size_t length = rest.substr(end).starts_with("\r\n") ? 2 : 1;
        if (std::exchange(firstEnd, false)) {
            lineEnd_ = rest.substr(end, length);
        }
        rest.remove_prefix(end + length);
    }
    return true;
}

std::string ProfileFile::ToProgram(std::string_view text) const {
    if (encoding_ == Encoding::Windows1252) {
        return std::string(text);
    }
    std::string bytes;
    for (const char32_t u : DecodeUtf8(text).value_or(U"")) {
        const int byte = UnicodeToWindows1252(u);
        bytes += byte < 0 ? '?' : static_cast<char>(byte);
    }
    return bytes;
}

std::string ProfileFile::FromProgram(std::string_view bytes) const {
    if (encoding_ == Encoding::Windows1252) {
        return std::string(bytes);
    }
    std::u32string text;
    for (const char byte : bytes) {
        text += Windows1252ToUnicode(static_cast<std::uint8_t>(byte));
    }
    return EncodeUtf8(text);
}

ProfileFile::Line ProfileFile::ParseLine(std::string raw) {
    Line line;
    line.raw = std::move(raw);
    std::string_view text = Trim(line.raw, kBlanks);
    if (!text.empty() && text.front() == '[') {
        std::size_t close = text.rfind(']');
        if (close != npos) {
            line.kind = LineKind::Section;
            line.name = Trim(text.substr(1, close - 1), kBlanks);
        }
        return line;
    }
    if (text.empty() || text.front() == ';') {
        return line;
    }
    std::size_t eq = text.find('=');
    if (eq == npos) {
        return line;
    }
    line.kind = LineKind::Key;
    line.name = Trim(text.substr(0, eq), kBlanks);
    std::string_view value = Trim(text.substr(eq + 1), kBlanks);
    if (EnclosedInQuotes(value)) {
        value = value.substr(1, value.size() - 2);
    }
    line.value = value;
    return line;
}

std::string ProfileFile::Load(const std::filesystem::path& file) {
    lines_.clear();
    std::string bytes;
    if (std::string error = ReadWholeFile(file, bytes); !error.empty()) {
        return error;
    }
    if (!Parse(bytes)) {
        return "Cannot read " + PathText(file) +
               ": it is not text (Windows-1252, or UTF-8 or UTF-16 with a byte-order mark)";
    }
    return {};
}

std::size_t ProfileFile::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == LineKind::Section && SameName(lines_[i].name, section)) {
            return i;
        }
    }
    return npos;
}

std::size_t ProfileFile::SectionEnd(std::size_t header) const {
    std::size_t i = header + 1;
    while (i < lines_.size() && lines_[i].kind != LineKind::Section) {
        ++i;
    }
    return i;
}

std::size_t ProfileFile::FindKey(std::size_t header, std::string_view key) const {
    std::size_t end = SectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        if (lines_[i].kind == LineKind::Key && SameName(lines_[i].name, key)) {
            return i;
        }
    }
    return npos;
}

std::optional<std::string> ProfileFile::Find(std::string_view section, std::string_view key) const {
    std::size_t header = FindSection(section);
    if (header == npos) {
        return std::nullopt;
    }
    std::size_t i = FindKey(header, key);
    if (i == npos) {
        return std::nullopt;
    }
    return ToProgram(lines_[i].value).substr(0, kMaxSettingLength);
}

std::string ProfileFile::GetString(std::string_view section, std::string_view key,
                                   std::string_view fallback) const {
    std::optional<std::string> value = Find(section, key);
    return value ? *value : std::string(fallback);
}

void ProfileFile::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) {
    std::string line = FromProgram(std::string(key) + "=" + EncodeValue(value));
    std::size_t header = FindSection(section);
    if (header == npos) {
        if (!lines_.empty() && !Trim(lines_.back().raw, kBlanks).empty()) {
            lines_.push_back(ParseLine(""));  // keep sections apart
        }
        lines_.push_back(ParseLine(FromProgram("[" + std::string(section) + "]")));
        lines_.push_back(ParseLine(std::move(line)));
        return;
    }
    std::size_t i = FindKey(header, key);
    if (i != npos) {
        Line& existing = lines_[i];
        Line replacement = ParseLine(existing.name + "=" + FromProgram(EncodeValue(value)));
        if (ToProgram(replacement.value) != ToProgram(existing.value)) {
            existing = std::move(replacement);
        }
        return;
    }
    std::size_t at = SectionEnd(header);
    while (at > header + 1 && Trim(lines_[at - 1].raw, kBlanks).empty()) {
        --at;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), ParseLine(std::move(line)));
}

std::string ProfileFile::Text() const {
    std::string text;
    for (const Line& line : lines_) {
        text += line.raw;
        text += lineEnd_;
    }
    switch (encoding_) {
        case Encoding::Windows1252:
            return text;
        case Encoding::Utf8:
            return std::string(kUtf8Mark) + text;
        case Encoding::Utf16LittleEndian:
        case Encoding::Utf16BigEndian:
            break;
    }
    const bool big = encoding_ == Encoding::Utf16BigEndian;
    return std::string(big ? kUtf16BigMark : kUtf16LittleMark) +
           EncodeUtf16(DecodeUtf8(text).value_or(U""), big);
}

std::string ProfileFile::Save(const std::filesystem::path& file) const {
    // A file that would not load again never replaces one that does.
    const std::string text = Text();
    if (!ProfileFile().Parse(text)) {
        return "Not saved to " + PathText(file) + ": the settings would not read back as text";
    }
    // It may hold the password: private, whatever mode it had.
    return ReplaceFileAtomically(file, text, 0600, FileMode::Always);
}

}  // namespace reradav
