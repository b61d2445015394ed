#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/linux/Environment.h"
#include "readproc/Beeper.h"

namespace reradav {

// Tells whether the sound theme has a sound for an event id.
using SoundThemeLookup = std::function<bool(const std::string& eventId)>;

// The freedesktop sound-theme event for a MessageBeep type: "bell", "dialog-information",
// "dialog-warning", "dialog-error"; the question sound, which that theme lacks, falls back to
// the information sound when `themeHas` does not know it.
std::string BeepEventId(BeepType type, const SoundThemeLookup& themeHas);

// The folders libcanberra looks for themes in: $XDG_DATA_HOME (~/.local/share), then
// $XDG_DATA_DIRS (/usr/local/share:/usr/share).
std::vector<std::string> SoundDataDirs(const EnvLookup& env);

// Whether the freedesktop theme (stereo) has a sound file for `eventId` in one of `dataDirs`.
bool FreedesktopThemeHas(const std::string& eventId, const std::vector<std::string>& dataDirs);

// MessageBeep through libcanberra. Opening the sound system and starting a sound can take a
// while (device probing, a sound server's answer), so both happen on a thread of their own and
// MessageBeep only queues the request. Without a sound device nothing is heard and nothing is
// said: the results are ignored, and ALSA's complaints are kept off stderr.
class CanberraBeeper : public Beeper {
  public:
    using PlayFunction = std::function<void(const std::string& eventId)>;

    CanberraBeeper();
    // Plays through `play` (called on the beeper's thread), the theme answered by `themeHas`.
    CanberraBeeper(PlayFunction play, SoundThemeLookup themeHas);
    // Plays what is queued, then ends the thread.
    ~CanberraBeeper() override;
    CanberraBeeper(const CanberraBeeper&) = delete;
    CanberraBeeper& operator=(const CanberraBeeper&) = delete;

    void MessageBeep(BeepType type) override;

    // Requests beyond this many waiting are dropped: a burst of reads gives one burst of beeps,
    // not a queue that sounds on for minutes.
    static constexpr std::size_t kMaxWaiting = 8;

  private:
    void Run();

    PlayFunction play_;
    SoundThemeLookup themeHas_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<BeepType> waiting_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace reradav
