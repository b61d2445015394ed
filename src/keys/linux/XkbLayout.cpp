#include "keys/linux/XkbLayout.h"

#include <xkbcommon/xkbcommon-compose.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <unordered_map>

#include "common/CodePage1252.h"
#include "common/Text.h"
#include "keys/VirtualKeys.h"

namespace reradav {
namespace {

constexpr std::uint16_t kEvdevLeftShift = 42;
constexpr std::uint16_t kEvdevRightAlt = 100;
constexpr std::uint16_t kEvdev102nd = 86;
constexpr xkb_keysym_t kFirstDeadKeysym = XKB_KEY_dead_grave;
constexpr xkb_keysym_t kLastDeadKeysym = 0xfe93;  // XKB_KEY_dead_longsolidusoverlay

// Shell-style KEY=value lines as /etc/default/keyboard and vconsole.conf hold them.
std::unordered_map<std::string, std::string> ReadAssignments(const std::string& path) {
    std::unordered_map<std::string, std::string> values;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        line = std::string(Trim(line));
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos) {
            continue;
        }
        std::string value(Trim(std::string_view(line).substr(eq + 1)));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        values[std::string(Trim(std::string_view(line).substr(0, eq)))] = value;
    }
    return values;
}

struct Pass {
    bool shift;
    bool altGr;
    enum { Without102nd, Only102nd, AllKeys } keys;
};

// Plain and Shift come first, as on Windows. The extra ISO key (<> left of Z) is used only when
// no other key gives the character without AltGr: pc105 keymaps put "<" there even for us, where
// Windows answers Shift+comma.
constexpr Pass kPasses[] = {
    {false, false, Pass::Without102nd}, {true, false, Pass::Without102nd},
    {false, false, Pass::Only102nd},    {true, false, Pass::Only102nd},
    {false, true, Pass::AllKeys},       {true, true, Pass::AllKeys},
};

}  // namespace

std::string LayoutName(const XkbNames& names, std::uint32_t group) {
    auto item = [group](const std::string& list) {
        std::size_t begin = 0;
        for (std::uint32_t i = 0; i < group && begin != std::string::npos; ++i) {
            begin = list.find(',', begin);
            begin = begin == std::string::npos ? begin : begin + 1;
        }
        return begin == std::string::npos ? std::string()
                                          : list.substr(begin, list.find(',', begin) - begin);
    };
    const std::string variant = item(names.variant);
    return item(names.layout) + (variant.empty() ? "" : "(" + variant + ")");
}

std::vector<std::string> SystemKeyboardFiles() {
    return {"/etc/default/keyboard", "/etc/vconsole.conf"};
}

XkbNames SystemKeyboardNames(const EnvLookup& env, const std::vector<std::string>& files,
                             std::string* source) {
    std::string unused;
    std::string& from = source != nullptr ? *source : unused;
    from = "default";
    XkbNames names;
    auto fromEnv = [&](const char* name) { return env(name).value_or(std::string()); };
    if (!fromEnv("XKB_DEFAULT_LAYOUT").empty()) {
        names.layout = fromEnv("XKB_DEFAULT_LAYOUT");
        names.variant = fromEnv("XKB_DEFAULT_VARIANT");
        names.options = fromEnv("XKB_DEFAULT_OPTIONS");
        if (!fromEnv("XKB_DEFAULT_MODEL").empty()) {
            names.model = fromEnv("XKB_DEFAULT_MODEL");
        }
        if (!fromEnv("XKB_DEFAULT_RULES").empty()) {
            names.rules = fromEnv("XKB_DEFAULT_RULES");
        }
        from = "XKB_DEFAULT_* variables";
        return names;
    }
    for (const auto& path : files) {
        auto values = ReadAssignments(path);
        if (values["XKBLAYOUT"].empty()) {
            continue;
        }
        names.layout = values["XKBLAYOUT"];
        names.variant = values["XKBVARIANT"];
        names.options = values["XKBOPTIONS"];
        if (!values["XKBMODEL"].empty()) {
            names.model = values["XKBMODEL"];
        }
        from = path;
        return names;
    }
    return names;
}

std::unique_ptr<XkbLayout> XkbLayout::FromNames(const XkbNames& names, std::string* error) {
    std::unique_ptr<XkbLayout> layout(new XkbLayout());
    if (!layout->Reload(names, error)) {
        return nullptr;
    }
    return layout;
}

XkbLayout::XkbLayout(xkb_keymap* keymap, std::uint32_t group) {
    Reload(keymap, group);
}

XkbLayout::~XkbLayout() {
    xkb_keymap_unref(keymap_);
    xkb_context_unref(context_);
}

bool XkbLayout::Reload(const XkbNames& names, std::string* error) {
    if (context_ == nullptr) {
        // The names come from our own lookup, never from libxkbcommon's environment defaults.
        context_ = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
        if (context_ == nullptr) {
            if (error != nullptr) {
                *error = "The keyboard layout library cannot find its data (xkb-data).";
            }
            return false;
        }
    }
    const xkb_rule_names rmlvo = {names.rules.c_str(), names.model.c_str(), names.layout.c_str(),
                                  names.variant.c_str(), names.options.c_str()};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context_, &rmlvo, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap == nullptr) {
        if (error != nullptr) {
            *error = "The keyboard layout \"" + names.layout +
                     (names.variant.empty() ? "" : "(" + names.variant + ")") +
                     "\" cannot be compiled.";
        }
        return false;
    }
    Reload(keymap, 0);
    names_ = names;
    xkb_keymap_unref(keymap);
    return true;
}

void XkbLayout::Reload(xkb_keymap* keymap, std::uint32_t group) {
    xkb_keymap_ref(keymap);
    xkb_keymap_unref(keymap_);
    keymap_ = keymap;
    names_.reset();
    group_ = group;
    Compute();
}

void XkbLayout::SetGroup(std::uint32_t group) {
    if (group != group_) {
        group_ = group;
        Compute();
    }
}

// Presses the same keys the emitter will press (Left Shift, Right Alt) in a fresh state and reads
// what each key then types, so the answer holds for whatever modifier map the layout uses.
// Characters only another group has are found there, for a key typed with that group locked.
void XkbLayout::Compute() {
    const std::uint32_t layouts = xkb_keymap_num_layouts(keymap_);
    const std::uint32_t group = group_ < layouts ? group_ : 0;
    // Caps Lock where the options put it (caps:swapescape moves it to the Escape key).
    capsLockKey_ = KeyForKeysym(XKB_KEY_Caps_Lock);
    deadKeys_.clear();
    sequencesComputed_ = false;
    ComputeGroup(group, table_, &deadKeys_);
    otherGroups_.fill({0, -1});
    for (std::uint32_t other = 0; other < layouts; ++other) {
        if (other == group) {
            continue;
        }
        std::array<std::int16_t, 256> table{};
        ComputeGroup(other, table, nullptr);
        for (std::size_t c = 0; c < table.size(); ++c) {
            if (table_[c] == -1 && table[c] != -1 && otherGroups_[c].key == -1) {
                otherGroups_[c] = {other, table[c]};
            }
        }
    }
}

void XkbLayout::ComputeGroup(std::uint32_t group, std::array<std::int16_t, 256>& table,
                             std::vector<std::pair<std::uint32_t, std::int16_t>>* deadKeys) const {
    table.fill(-1);
    std::unordered_map<xkb_keysym_t, std::uint8_t> wanted;
    for (int c = 0; c < 256; ++c) {
        const char32_t unicode = Windows1252ToUnicode(static_cast<std::uint8_t>(c));
        const xkb_keysym_t keysym = xkb_utf32_to_keysym(unicode);
        if (keysym != XKB_KEY_NoSymbol) {
            wanted.emplace(keysym, static_cast<std::uint8_t>(c));
        }
    }
    const xkb_keycode_t minKey = xkb_keymap_min_keycode(keymap_);
    const xkb_keycode_t maxKey = xkb_keymap_max_keycode(keymap_);
    for (const Pass& pass : kPasses) {
        xkb_state* state = xkb_state_new(keymap_);
        if (state == nullptr) {
            return;
        }
        xkb_state_update_mask(state, 0, 0, 0, 0, 0, group);
        if (pass.shift) {
            xkb_state_update_key(state, kEvdevLeftShift + kXkbKeycodeOffset, XKB_KEY_DOWN);
        }
        if (pass.altGr) {
            xkb_state_update_key(state, kEvdevRightAlt + kXkbKeycodeOffset, XKB_KEY_DOWN);
        }
        // Where these keys switch the group (grp:alt_shift_toggle, grp:toggle), pressing them
        // would change the user's group: the pass finds nothing.
        if (xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE) != group) {
            xkb_state_unref(state);
            continue;
        }
        const std::int16_t bits =
            static_cast<std::int16_t>((pass.shift ? kShiftBit : 0) | (pass.altGr ? kAltGrBits : 0));
        for (xkb_keycode_t key = minKey; key <= maxKey; ++key) {
            if (key < kXkbKeycodeOffset) {
                continue;
            }
            const auto evdev = static_cast<std::uint16_t>(key - kXkbKeycodeOffset);
            if ((pass.keys == Pass::Without102nd && evdev == kEvdev102nd) ||
                (pass.keys == Pass::Only102nd && evdev != kEvdev102nd)) {
                continue;
            }
            // Only keys the emitter can press, and that come back to the same key.
            const std::uint8_t vk = VkForEvdevCode(evdev);
            if (vk == 0 || EvdevCodeForVk(vk) != evdev) {
                continue;
            }
            const xkb_keysym_t* syms = nullptr;
            if (xkb_state_key_get_syms(state, key, &syms) != 1) {
                continue;
            }
            const auto found = wanted.find(syms[0]);
            if (found != wanted.end() && table[found->second] == -1) {
                table[found->second] = static_cast<std::int16_t>(bits | vk);
            }
            if (deadKeys != nullptr && syms[0] >= kFirstDeadKeysym && syms[0] <= kLastDeadKeysym &&
                std::none_of(deadKeys->begin(), deadKeys->end(),
                             [&](const auto& dead) { return dead.first == syms[0]; })) {
                deadKeys->emplace_back(syms[0], static_cast<std::int16_t>(bits | vk));
            }
        }
        xkb_state_unref(state);
    }
}

std::string XkbLayout::Name() const {
    if (names_) {
        return LayoutName(*names_, group_);
    }
    const char* description = xkb_keymap_layout_get_name(keymap_, group_);
    return description != nullptr ? description : "";
}

std::uint32_t XkbLayout::NamedKeysym(std::uint8_t vk) {
    constexpr std::uint8_t kF13 = kVkF1 + 12;
    constexpr std::uint8_t kF24 = kVkF1 + 23;
    if (vk >= kF13 && vk <= kF24) {
        return XKB_KEY_F13 + (vk - kF13);
    }
    return vk == kVkClear ? XKB_KEY_Clear : 0;
}

std::uint16_t XkbLayout::KeyForVk(std::uint8_t vk) const {
    if (vk == kVkCapital) {
        return capsLockKey_;
    }
    const std::uint32_t named = NamedKeysym(vk);
    return named != 0 ? KeyForKeysym(named) : EvdevCodeForVk(vk);
}

std::uint16_t XkbLayout::KeyForKeysym(std::uint32_t keysym) const {
    const std::uint32_t group = group_ < xkb_keymap_num_layouts(keymap_) ? group_ : 0;
    const xkb_keycode_t maxKey = xkb_keymap_max_keycode(keymap_);
    for (xkb_keycode_t key = std::max(xkb_keymap_min_keycode(keymap_), kXkbKeycodeOffset);
         key <= maxKey; ++key) {
        const xkb_keysym_t* syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(keymap_, key, group, 0, &syms) == 1 &&
            syms[0] == keysym) {
            return static_cast<std::uint16_t>(key - kXkbKeycodeOffset);
        }
    }
    return 0;
}

std::vector<std::uint32_t> XkbLayout::EmptyKeys() const {
    std::vector<std::uint32_t> empty;
    const xkb_keycode_t last = std::min<xkb_keycode_t>(xkb_keymap_max_keycode(keymap_), 255);
    for (xkb_keycode_t key = std::max(xkb_keymap_min_keycode(keymap_), kXkbKeycodeOffset + 1);
         key <= last; ++key) {
        if (VkForEvdevCode(static_cast<std::uint16_t>(key - kXkbKeycodeOffset)) != 0) {
            continue;
        }
        int count = 0;
        for (xkb_layout_index_t l = 0; l < xkb_keymap_num_layouts_for_key(keymap_, key); ++l) {
            for (xkb_level_index_t v = 0; v < xkb_keymap_num_levels_for_key(keymap_, key, l); ++v) {
                const xkb_keysym_t* syms = nullptr;
                count += xkb_keymap_key_get_syms_by_level(keymap_, key, l, v, &syms);
            }
        }
        if (count == 0) {
            empty.push_back(key);
        }
    }
    return empty;
}

std::vector<std::int16_t> XkbLayout::DeadKeySequence(std::uint8_t character) {
    if (!sequencesComputed_) {
        ComputeDeadKeySequences();
    }
    return sequences_[character];
}

// Feeds each dead key and then each character the layout types to the compose rules the
// user's applications apply, and keeps the first pair that gives a character with no key.
void XkbLayout::ComputeDeadKeySequences() {
    sequencesComputed_ = true;
    for (auto& sequence : sequences_) {
        sequence.clear();
    }
    if (deadKeys_.empty()) {
        return;
    }
    std::string locale = "C";
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            locale = value;
            break;
        }
    }
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    xkb_compose_table* table = nullptr;
    for (const std::string& name : {locale, std::string("en_US.UTF-8")}) {
        if (table == nullptr && context != nullptr) {
            table = xkb_compose_table_new_from_locale(context, name.c_str(),
                                                      XKB_COMPOSE_COMPILE_NO_FLAGS);
        }
    }
    xkb_compose_state* state =
        table ? xkb_compose_state_new(table, XKB_COMPOSE_STATE_NO_FLAGS) : nullptr;
    for (const auto& [deadKeysym, deadKey] : deadKeys_) {
        for (int base = 0; state != nullptr && base < 256; ++base) {
            const xkb_keysym_t baseKeysym =
                xkb_utf32_to_keysym(Windows1252ToUnicode(static_cast<std::uint8_t>(base)));
            if (table_[static_cast<std::size_t>(base)] == -1 || baseKeysym == XKB_KEY_NoSymbol) {
                continue;
            }
            xkb_compose_state_reset(state);
            xkb_compose_state_feed(state, deadKeysym);
            xkb_compose_state_feed(state, baseKeysym);
            if (xkb_compose_state_get_status(state) != XKB_COMPOSE_COMPOSED) {
                continue;
            }
            const int character =
                UnicodeToWindows1252(xkb_keysym_to_utf32(xkb_compose_state_get_one_sym(state)));
            if (character >= 0 && table_[static_cast<std::size_t>(character)] == -1 &&
                sequences_[static_cast<std::size_t>(character)].empty()) {
                sequences_[static_cast<std::size_t>(character)] = {
                    deadKey, table_[static_cast<std::size_t>(base)]};
            }
        }
    }
    xkb_compose_state_unref(state);
    xkb_compose_table_unref(table);
    xkb_context_unref(context);
}

}  // namespace reradav
