#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/AppSettings.h"

namespace reradav {

// A private-profile (INI) file read and written by the rules of GetPrivateProfileStringA and
// WritePrivateProfileStringA, so that files moved between Windows and Linux mean the same:
// - section and key names compare without regard to ASCII case; the first matching section
//   and, within it, the first matching key count;
// - blanks and tabs around names and values are trimmed, then one pair of enclosing quotes
//   ("..." or '...') is removed from a value;
// - a value is cut to kMaxSettingLength characters when read;
// - lines that are not keys of a section that is written (comments, blank lines, unknown keys,
//   unknown sections, text before the first section) stay as they are, where they are;
// - CRLF, LF and a lone CR anywhere end a line; every line is written with the file's first
//   line end (CRLF in a new file).
// The program's text is Windows-1252 bytes, and so is a file without a byte-order mark, taken
// as it is. A file that starts with one is UTF-8 or UTF-16 (Windows' own profile functions
// write UTF-16LE): its values are given in Windows-1252, a character that lacks reading as
// "?", and it is written back in its own encoding, every line not written keeping every
// character.
class ProfileFile {
  public:
    ProfileFile() = default;
    // Bytes that are not text in any of the encodings above give an empty profile.
    explicit ProfileFile(std::string_view bytes) { (void)Parse(bytes); }

    // Reads the file. A missing file is an empty profile, not an error (first start). Any other
    // failure, bytes that are not text included, leaves the profile empty and returns a
    // message; "" on success.
    [[nodiscard]] std::string Load(const std::filesystem::path& file);

    // The value of a key, or nullopt when the section or the key is absent. A key present with
    // nothing after "=" gives "".
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    // GetPrivateProfileString: the value, or `fallback` when the key is absent.
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view fallback) const;

    // WritePrivateProfileString. An existing key keeps its line and its spelling; when the
    // value it reads as is already `value` the line is not touched at all, so a file loaded
    // and written back unchanged stays byte for byte the same. A new key goes after the last
    // non-blank line of its section, a new section at the end of the file.
    //
    // Windows writes the value verbatim, so a value with leading or trailing blanks, or one
    // enclosed in a pair of matching quotes, reads back different from what was written. Here
    // such a value is written inside double quotes instead: the read rules above (ours and
    // Windows') then give back exactly the value written. A value can only be one line: it is
    // cut at its first CR or LF, which is all a reader would see of it anyway.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);

    // The file's bytes: every line followed by the line end, in the file's encoding.
    std::string Text() const;

    // Replaces the file atomically: a temporary file in the same folder is written, flushed to
    // disk and renamed over the old one, so a crash or a full disk leaves either the old or the
    // new file, never a truncated one. A new file gets mode 0600; an existing one keeps its
    // mode. Returns "" on success, else what went wrong; the old file is then untouched.
    [[nodiscard]] std::string Save(const std::filesystem::path& file) const;

  private:
    enum class Encoding { Windows1252, Utf8, Utf16LittleEndian, Utf16BigEndian };
    enum class LineKind { Other, Section, Key };
    struct Line {
        std::string raw;  // without its line end
        LineKind kind = LineKind::Other;
        std::string name;   // section or key name, trimmed
        std::string value;  // key value, trimmed and unquoted, not yet cut
    };

    // False for bytes that are not text (a NUL, invalid UTF-8 or UTF-16); the profile is then
    // empty.
    [[nodiscard]] bool Parse(std::string_view bytes);
    static Line ParseLine(std::string raw);
    // Between the program's Windows-1252 and the file's text as held in `lines_` (UTF-8 for a
    // file with a byte-order mark).
    std::string ToProgram(std::string_view text) const;
    std::string FromProgram(std::string_view bytes) const;
    // Index of the first line of the section's header, or npos.
    std::size_t FindSection(std::string_view section) const;
    // One past the section's last line (the next header or the end).
    std::size_t SectionEnd(std::size_t header) const;
    std::size_t FindKey(std::size_t header, std::string_view key) const;

    std::vector<Line> lines_;
    Encoding encoding_ = Encoding::Windows1252;
    std::string lineEnd_ = "\r\n";
};

}  // namespace reradav
