#include "serial/LineSettings.h"

#include <utility>
#include "common/NumberText.h"

#include "serial/SerialComponent.h"

namespace reradav {

bool ParseLineSettings(const std::string& text, LineIndexes& indexes) {
    std::size_t comma = text.find(',');
    if (comma == std::string::npos) {
        return false;
    }
    double rate = LeadingNumber(text);
    for (std::size_t i = 0; i < kBaudRates.size(); ++i) {
        if (rate == kBaudRates[i]) {
            indexes.BaudIndex = static_cast<std::int16_t>(i);
        }
    }

    // Later hits override earlier ones and "E" is never searched for: Even is the fallback.
    std::string_view rest = std::string_view(text).substr(comma);
    auto has = [rest](std::string_view s) { return rest.find(s) != std::string_view::npos; };
    indexes.ParityIndex = 2;
    if (has("N"))
        indexes.ParityIndex = 0;
    if (has("O"))
        indexes.ParityIndex = 1;
    if (has("M"))
        indexes.ParityIndex = 3;
    if (has("S"))
        indexes.ParityIndex = 4;

    indexes.StopBitsIndex = 0;
    if (has(",2"))
        indexes.StopBitsIndex = 2;
    if (has("1.5"))
        indexes.StopBitsIndex = 1;

    indexes.DataBitsIndex = 2;
    if (has(",5"))
        indexes.DataBitsIndex = 0;
    if (has(",6"))
        indexes.DataBitsIndex = 1;
    if (has(",8"))
        indexes.DataBitsIndex = 3;
    return true;
}

std::string BuildLineSettings(const LineIndexes& indexes) {
    auto inList = [](std::int16_t index, std::size_t size) {
        return index >= 0 && static_cast<std::size_t>(index) < size;
    };
    static constexpr std::string_view kParity[] = {",N", ",O", ",E", ",M", ",S"};
    static constexpr std::string_view kStop[] = {",1", ",1.5", ",2"};

    std::string s = std::to_string(
        inList(indexes.BaudIndex, kBaudRates.size()) ? kBaudRates[indexes.BaudIndex] : 0);
    s += inList(indexes.ParityIndex, std::size(kParity)) ? kParity[indexes.ParityIndex] : ",E";
    s += inList(indexes.DataBitsIndex, kDataBitsItems.size())
             ? "," + std::string(kDataBitsItems[indexes.DataBitsIndex])
             : std::string(",7");
    s += inList(indexes.StopBitsIndex, std::size(kStop)) ? kStop[indexes.StopBitsIndex] : ",1";
    return s;
}

std::optional<FlowControlOptions> FlowControlFor(std::int16_t handshake) {
    switch (handshake) {
        case 0:
            return FlowControlOptions{SerialComponent::comNone, true};
        case 1:
            return FlowControlOptions{SerialComponent::comRTSXOnXOff, true};
        case 2:
            return FlowControlOptions{SerialComponent::comRTS, true};
        case 3:
            return FlowControlOptions{SerialComponent::comNone, false};
        default:
            return std::nullopt;
    }
}

void StoreLineChoices(AppSettings& settings, const LineIndexes& indexes, std::int16_t handshake,
                      std::string beepString) {
    settings.ScannerBeepString = std::move(beepString);
    settings.BaudIndex = indexes.BaudIndex;
    settings.ParityIndex = indexes.ParityIndex;
    settings.DataBitsIndex = indexes.DataBitsIndex;
    settings.StopBitsIndex = indexes.StopBitsIndex;
    settings.Handshake = handshake;
    settings.CommSettings = BuildLineSettings(indexes);
}

}  // namespace reradav
