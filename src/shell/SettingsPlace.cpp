#include "shell/SettingsPlace.h"

#include "common/Files.h"

namespace reradav {

SettingsPlace ChooseSettingsPlace(const ProgramFolder& folder,
                                  const std::filesystem::path& userFolder) {
    const std::filesystem::path beside = folder.path / "default.vav";
    const bool ours = !folder.path.empty() && !folder.othersCanWrite;
    if ((ours && folder.writable && !folder.systemInstalled) || userFolder.empty()) {
        return {beside, {}, {}};
    }
    SettingsPlace place{userFolder / "default.vav", {}, {}};
    if (folder.hasSettings && ours) {
        place.startFrom = beside;
    } else if (!folder.path.empty() && folder.othersCanWrite &&
               (folder.hasSettings || folder.writable)) {
        place.why = "Not " + PathText(beside) + ": others can write there.";
    }
    return place;
}

std::string OriginText(const SettingsPlace& place) {
    if (!place.why.empty() || place.startFrom.empty()) {
        return place.why;
    }
    return "First settings from " + PathText(place.startFrom) + ".";
}

}  // namespace reradav
