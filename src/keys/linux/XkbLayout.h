#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/linux/Environment.h"

struct xkb_context;
struct xkb_keymap;

namespace reradav {

// XKB numbers a key as its evdev code plus this, in X servers and Wayland keymaps alike.
constexpr std::uint32_t kXkbKeycodeOffset = 8;

// Rules, model, layout, variant and options: the names a keymap is compiled from.
struct XkbNames {
    std::string rules = "evdev";
    std::string model = "pc105";
    std::string layout = "us";
    std::string variant;
    std::string options;
};

// How the user names a layout of the names: "de", "us(dvorak)"; the group picks one of a list
// such as "de,us".
std::string LayoutName(const XkbNames& names, std::uint32_t group);

// Files that hold the system keyboard configuration (XKBLAYOUT=…), first found wins.
std::vector<std::string> SystemKeyboardFiles();

// The keyboard layout a uinput device will be read with: libxkbcommon's XKB_DEFAULT_* variables
// when XKB_DEFAULT_LAYOUT is set, else the system configuration file, else us. `source`, when
// given, says which answered: "XKB_DEFAULT_* variables", the file's path, or "default".
XkbNames SystemKeyboardNames(const EnvLookup& env,
                             const std::vector<std::string>& files = SystemKeyboardFiles(),
                             std::string* source = nullptr);

// Answers VkKeyScanA from an XKB keymap: which key, with Shift and/or AltGr, types a character.
// The 256 answers are computed once per keymap and group.
class XkbLayout {
  public:
    static constexpr std::int16_t kShiftBit = 0x100;
    // Control+Alt, the way Windows reports AltGr.
    static constexpr std::int16_t kAltGrBits = 0x600;

    // Compiles the keymap; nullptr and a sentence in *error when it cannot be compiled.
    static std::unique_ptr<XkbLayout> FromNames(const XkbNames& names, std::string* error);
    // Uses an existing keymap (e.g. the X server's); takes its own reference.
    explicit XkbLayout(xkb_keymap* keymap, std::uint32_t group = 0);
    ~XkbLayout();
    XkbLayout(const XkbLayout&) = delete;
    XkbLayout& operator=(const XkbLayout&) = delete;

    // Low byte the virtual key, bit 8 Shift, bits 9-10 AltGr; -1 when no key types it.
    std::int16_t KeyValue(std::uint8_t character) const { return table_[character]; }
    // For a character no key of the group in force types: another group of the keymap, and the
    // key value there; key -1 when no group has it.
    struct GroupKey {
        std::uint32_t group;
        std::int16_t key;
    };
    GroupKey OtherGroupKey(std::uint8_t character) const { return otherGroups_[character]; }

    // Recompiles from names; keeps the old keymap and returns false when that fails.
    bool Reload(const XkbNames& names, std::string* error);
    // Switches to another keymap (the server's new one) and group.
    void Reload(xkb_keymap* keymap, std::uint32_t group);
    // Recomputes only when the group differs.
    void SetGroup(std::uint32_t group);

    // The keysym a named key must arrive as, where its usual key may type another: F13 is
    // XF86Tools under the default keymap, Clear is keypad 5. 0 for other keys.
    static std::uint32_t NamedKeysym(std::uint8_t vk);
    // The evdev code to press for a virtual key: for Caps Lock and the named keys, a key whose
    // first level types their keysym (an option may move Caps Lock), 0 when none does; for the
    // others their usual key.
    std::uint16_t KeyForVk(std::uint8_t vk) const;
    // The evdev code of a key whose first level types the keysym; 0 when none does.
    std::uint16_t KeyForKeysym(std::uint32_t keysym) const;
    // Keycodes (evdev + 8, up to 255 for X clients) that the keymap leaves without symbols and
    // that the program never presses by name: free to be lent to a keysym the layout lacks.
    std::vector<std::uint32_t> EmptyKeys() const;
    // For a character no key types: a dead key and the key it combines with, by the compose
    // rules of the user's locale; empty when the layout has no such pair.
    std::vector<std::int16_t> DeadKeySequence(std::uint8_t character);

    // The layout's name when compiled from names, else the keymap's own description.
    std::string Name() const;
    xkb_keymap* Keymap() const { return keymap_; }
    std::uint32_t Group() const { return group_; }

  private:
    XkbLayout() = default;
    void Compute();
    void ComputeGroup(std::uint32_t group, std::array<std::int16_t, 256>& table,
                      std::vector<std::pair<std::uint32_t, std::int16_t>>* deadKeys) const;
    void ComputeDeadKeySequences();

    xkb_context* context_ = nullptr;
    xkb_keymap* keymap_ = nullptr;
    std::optional<XkbNames> names_;
    std::uint32_t group_ = 0;
    std::array<std::int16_t, 256> table_{};
    std::array<GroupKey, 256> otherGroups_{};
    std::uint16_t capsLockKey_ = 0;  // found with the table: typing asks for it often
    // Key values of the dead keys, found with the table; the pairs are looked up when first
    // asked for, as only uinput needs them.
    std::vector<std::pair<std::uint32_t, std::int16_t>> deadKeys_;
    bool sequencesComputed_ = false;
    std::array<std::vector<std::int16_t>, 256> sequences_{};
};

}  // namespace reradav
