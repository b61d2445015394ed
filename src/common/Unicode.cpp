#include "common/Unicode.h"

namespace reradav {
namespace {

void AppendUnit(std::string& out, char32_t unit, bool bigEndian) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
}

}  // namespace

std::optional<char32_t> DecodeUtf8Character(std::string_view utf8, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(utf8[at]);
    std::size_t extra = 0;
    char32_t u = lead;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1, u = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2, u = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3, u = lead & 0x07, least = 0x10000;
    } else if (lead >= 0x80) {
        return std::nullopt;
    }
    for (std::size_t k = 1; k <= extra; ++k) {
        if (at + k >= utf8.size() || (static_cast<unsigned char>(utf8[at + k]) & 0xC0) != 0x80) {
            return std::nullopt;
        }
        u = (u << 6) | (static_cast<unsigned char>(utf8[at + k]) & 0x3F);
    }
    if (u < least || u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) {
        return std::nullopt;
    }
    at += extra + 1;
    return u;
}

std::optional<std::u32string> DecodeUtf8(std::string_view utf8) {
    std::u32string text;
    for (std::size_t at = 0; at < utf8.size();) {
        const std::optional<char32_t> u = DecodeUtf8Character(utf8, at);
        if (!u) {
            return std::nullopt;
        }
        text += *u;
    }
    return text;
}

std::string EncodeUtf8(std::u32string_view text) {
    std::string out;
    for (const char32_t u : text) {
        if (u < 0x80) {
            out += static_cast<char>(u);
            continue;
        }
        constexpr unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
        const int extra = u < 0x800 ? 1 : u < 0x10000 ? 2 : 3;
        out += static_cast<char>(kLead[extra] | (u >> (6 * extra)));
        for (int k = extra - 1; k >= 0; --k) {
            out += static_cast<char>(0x80 | ((u >> (6 * k)) & 0x3F));
        }
    }
    return out;
}

std::optional<std::u32string> DecodeUtf16(std::string_view bytes, bool bigEndian) {
    if (bytes.size() % 2 != 0) {
        return std::nullopt;
    }
    auto unit = [&](std::size_t i) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<char32_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    };
    std::u32string text;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        const char32_t u = unit(i);
        if (u >= 0xDC00 && u <= 0xDFFF) {
            return std::nullopt;
        }
        if (u < 0xD800 || u > 0xDBFF) {
            text += u;
            continue;
        }
        const char32_t low = i + 2 < bytes.size() ? unit(i + 2) : 0;
        if (low < 0xDC00 || low > 0xDFFF) {
            return std::nullopt;
        }
        text += 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
    }
    return text;
}

std::string EncodeUtf16(std::u32string_view text, bool bigEndian) {
    std::string out;
    for (const char32_t u : text) {
        if (u < 0x10000) {
            AppendUnit(out, u, bigEndian);
        } else {
            AppendUnit(out, 0xD800 + ((u - 0x10000) >> 10), bigEndian);
            AppendUnit(out, 0xDC00 + ((u - 0x10000) & 0x3FF), bigEndian);
        }
    }
    return out;
}

}  // namespace reradav
