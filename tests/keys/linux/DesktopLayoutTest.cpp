#include "keys/linux/DesktopLayout.h"

#include <gtest/gtest.h>

#include "support/FakeEnvironment.h"
#include "support/TempFolder.h"

namespace reradav {
namespace {

// Canned command outputs by command line, environment variables, and the kxkbrc text.
using Outputs = std::map<std::string, std::string>;
const std::string kSources = "gsettings get org.gnome.desktop.input-sources sources";
const std::string kOptions = "gsettings get org.gnome.desktop.input-sources xkb-options";
const std::string kSway = "swaymsg -t get_inputs --raw";
const std::string kLocalectl = "localectl status";
const std::string kGerman = R"([{"type": "keyboard", "xkb_layout_names": ["German"]}])";
// Commands answer by their whole command line; others are missing.
CommandOutput Fake(const Outputs& outputs) {
    return [outputs](const std::vector<std::string>& argv) -> std::optional<std::string> {
        std::string line;
        for (const auto& arg : argv)
            line += (line.empty() ? "" : " ") + arg;
        const auto found = outputs.find(line);
        return found == outputs.end() ? std::nullopt : std::optional(found->second);
    };
}
const char* const kRegistry = R"(<xkbConfigRegistry><layoutList>
<layout><configItem><name>at</name><description>German (Austria)</description></configItem>
<variantList><variant><configItem><name>nodeadkeys</name>
<description>German (Austria, no dead keys)</description></configItem></variant></variantList>
</layout><layout><configItem><name>de</name><description>German</description></configItem>
<variantList><variant><configItem><name>nodeadkeys</name>
<description>German (no dead keys)</description></configItem></variant></variantList>
</layout></layoutList></xkbConfigRegistry>)";

// Each source answers only when readable and meaningful; a command that is missing (no canned
// output), fails or prints garbage passes to the next one. A row holds the canned command
// outputs, the environment variables and the kxkbrc text together.
TEST(DesktopLayout, TheFirstSourceThatAnswersGivesTheNames) {
    test::TempFolder temp;
    test::WriteBytes(temp / "evdev.xml", kRegistry);
    test::WriteBytes(temp / "keyboard", "XKBLAYOUT=us\n");
    const std::string kde = "[Layout]\nLayoutList=fr,us\nModel=pc104\nUse=";
    const std::string secondOfTwo = R"j([{"type": "pointer", "xkb_layout_names": ["English (US)"]},
        {"type": "keyboard", "xkb_layout_names": ["German", "German (no dead keys)"],
         "xkb_active_layout_index": 1}])j";
    const std::pair<Outputs, const char*> rows[] = {
        {{{kSources, "[('ibus', 'anthy'), ('xkb', 'de+nodeadkeys'), ('xkb', 'us')]\n"},
          {kOptions, "['caps:swapescape', 'compose:ralt']\n"},
          {kSway, kGerman},
          {kLocalectl, "X11 Layout: fr"},
          {"SWAYSOCK", "s"},
          {"XKB_DEFAULT_LAYOUT", "it"},
          {"kxkbrc", kde + "true"},
          {"XDG_CURRENT_DESKTOP", "KDE:ubuntu:gnome"}},
         "GNOME settings: pc105 de nodeadkeys caps:swapescape,compose:ralt"},
        {{{kSources, "[('xkb', 'us')]\n"},
          {"kxkbrc", kde + "true"},
          {kLocalectl, "X11 Layout: fr"}},
         "localectl: pc105 fr  "},
        {{{kSources, "[('ibus', 'anthy')]"},
          {"XDG_CURRENT_DESKTOP", "GNOME:KDE"},
          {"kxkbrc", kde + "True\nVariantList=,dvorak\nOptions=a:b"}},
         "KDE settings: pc104 fr  a:b"},
        {{{kSources, "@a(ss) []"},
          {kSway, kGerman},
          {kLocalectl, "X11 Layout: fr"},
          {"kxkbrc", "[Layout]\nUse=true\nLayoutList="},
          {"XDG_CURRENT_DESKTOP", "KDE"}},
         "localectl: pc105 fr  "},
        {{{kSway, kGerman},
          {"SWAYSOCK", "s"},
          {"kxkbrc", kde + "false\n[Other]\nUse=true"},
          {"XDG_CURRENT_DESKTOP", "KDE"},
          {kLocalectl, "X11 Layout: fr"}},
         "sway: pc105 de  "},
        {{{kSway, secondOfTwo}, {"SWAYSOCK", "s"}}, "sway: pc105 de nodeadkeys "},
        {{{kSway, R"([{"type": "keyboard", "xkb_layout_names": ["Klingon"]}])"},
          {"SWAYSOCK", "s"},
          {kLocalectl, "X11 Layout: de,us\nX11 Model: pc104\nX11 Variant: nodeadkeys,"}},
         "localectl: pc104 de nodeadkeys "},
        {{{kSources, "[('xkb', 'de'"},
          {kSway, "{"},
          {kLocalectl, "X11 Layout: n/a\n"},
          {"SWAYSOCK", "s"},
          {"XKB_DEFAULT_LAYOUT", "it"}},
         "XKB_DEFAULT_* variables: pc105 it  "},
        {{}, "keyboard: pc105 us  "}};
    for (const auto& [given, expected] : rows) {
        test::WriteBytes(temp / "kxkbrc", given.contains("kxkbrc") ? given.at("kxkbrc") : "");
        auto env = given;
        env["XDG_CONFIG_HOME"] = temp.path().string();
        const auto [n, source] = DesktopKeyboardNames({test::Env(env),
                                                       Fake(given),
                                                       (temp / "evdev.xml").string(),
                                                       {"/no/file", (temp / "keyboard").string()}});
        const std::string where = std::filesystem::path(source).filename();
        EXPECT_EQ(where + ": " + n.model + " " + n.layout + " " + n.variant + " " + n.options,
                  expected);
    }
}

// Standard input is empty (cat would wait forever otherwise) and standard error is dropped.
TEST(DesktopLayout, RunCommandGivesOutputOnlyOfACommandThatSucceedsInTime) {
    const std::pair<std::vector<std::string>, std::optional<std::string>> rows[] = {
        {{"sh", "-c", "printf 'a\\nb'; echo e >&2; cat"}, "a\nb"},
        {{"sh", "-c", "echo x; exit 3"}, std::nullopt},
        {{"reradav-no-such-command"}, std::nullopt},
        {{"sh", "-c", "echo x; exec sleep 5"}, std::nullopt},
        {{"sh", "-c", "echo x; exec >&-; exec sleep 5"}, std::nullopt}};
    const CommandOutput run = RunCommand(std::chrono::milliseconds(300));
    for (const auto& [argv, expected] : rows) {
        EXPECT_EQ(run(argv), expected) << (argv.empty() ? "" : argv.back());
    }
}

}  // namespace
}  // namespace reradav
