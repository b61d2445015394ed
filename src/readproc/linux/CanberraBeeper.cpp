#include "readproc/linux/CanberraBeeper.h"

#include <canberra.h>
#include <dlfcn.h>
#include <unistd.h>

#include <memory>
#include <sstream>
#include <utility>

namespace reradav {
namespace {

void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

// ALSA reports a missing sound card on stderr by itself. Its error handler is process-wide, so
// it is set once through the library libcanberra's ALSA driver loads; nothing here links ALSA.
void SilenceAlsa() {
    static const bool done = [] {
        using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
        using SetHandler = int (*)(Handler);
        // Kept loaded for the life of the process, so the handler stays in force.
        void* alsa = ::dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
        if (alsa != nullptr) {
            if (auto set =
                    reinterpret_cast<SetHandler>(::dlsym(alsa, "snd_lib_error_set_handler"))) {
                set(IgnoreAlsaError);
            }
        }
        return true;
    }();
    (void)done;
}

// One libcanberra context, opened on first use and used only by the beeper's thread.
class CanberraContext {
  public:
    ~CanberraContext() {
        if (context_ != nullptr) {
            ca_context_destroy(context_);
        }
    }

    void Play(const std::string& eventId) {
        if (context_ == nullptr) {
            SilenceAlsa();
            if (ca_context_create(&context_) != CA_SUCCESS) {
                context_ = nullptr;
                return;
            }
            ca_context_change_props(context_, CA_PROP_APPLICATION_NAME, "Reradav",
                                    CA_PROP_APPLICATION_ID, "reradav", nullptr);
        }
        // Opens the device when needed; with none, it fails at once and the next beep tries again.
        ca_context_play(context_, 0, CA_PROP_EVENT_ID, eventId.c_str(), CA_PROP_EVENT_DESCRIPTION,
                        "Good read", nullptr);
    }

  private:
    ca_context* context_ = nullptr;
};

bool IsFile(const std::string& path) {
    return ::access(path.c_str(), R_OK) == 0;
}

}  // namespace

std::string BeepEventId(BeepType type, const SoundThemeLookup& themeHas) {
    switch (type) {
        case kMbIconAsterisk:
            return "dialog-information";
        case kMbIconExclamation:
            return "dialog-warning";
        case kMbIconHand:
            return "dialog-error";
        case kMbIconQuestion:
            return themeHas && themeHas("dialog-question") ? "dialog-question"
                                                           : "dialog-information";
        case kMbOk:
        default:
            return "bell";
    }
}

std::vector<std::string> SoundDataDirs(const EnvLookup& env) {
    std::vector<std::string> dirs;
    const auto dataHome = env("XDG_DATA_HOME");
    if (dataHome && !dataHome->empty() && (*dataHome)[0] == '/') {
        dirs.push_back(*dataHome);
    } else if (const auto home = env("HOME"); home && !home->empty() && (*home)[0] == '/') {
        dirs.push_back(*home + "/.local/share");
    }
    auto dataDirs = env("XDG_DATA_DIRS");
    if (!dataDirs || dataDirs->empty()) {
        dataDirs = "/usr/local/share:/usr/share";
    }
    std::istringstream list(*dataDirs);
    for (std::string dir; std::getline(list, dir, ':');) {
        if (!dir.empty() && dir[0] == '/') {
            dirs.push_back(dir);
        }
    }
    return dirs;
}

bool FreedesktopThemeHas(const std::string& eventId, const std::vector<std::string>& dataDirs) {
    // The file types libcanberra accepts; ".disabled" is a sound switched off on purpose, which
    // counts as present so that no other sound replaces it.
    static constexpr const char* kSuffixes[] = {".disabled", ".oga", ".ogg", ".wav"};
    for (const auto& dir : dataDirs) {
        for (const char* suffix : kSuffixes) {
            if (IsFile(dir + "/sounds/freedesktop/stereo/" + eventId + suffix)) {
                return true;
            }
        }
    }
    return false;
}

CanberraBeeper::CanberraBeeper()
    : CanberraBeeper([context = std::make_shared<CanberraContext>()](
                         const std::string& eventId) { context->Play(eventId); },
                     [dirs = SoundDataDirs(UserEnvironment())](const std::string& eventId) {
                         return FreedesktopThemeHas(eventId, dirs);
                     }) {}

CanberraBeeper::CanberraBeeper(PlayFunction play, SoundThemeLookup themeHas)
    : play_(std::move(play)), themeHas_(std::move(themeHas)) {}

CanberraBeeper::~CanberraBeeper() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void CanberraBeeper::MessageBeep(BeepType type) {
    {
        std::lock_guard lock(mutex_);
        if (waiting_.size() >= kMaxWaiting) {
            return;
        }
        waiting_.push_back(type);
        // Started with the first beep: most users never switch beeping on.
        if (!thread_.joinable()) {
            thread_ = std::thread([this] { Run(); });
        }
    }
    wake_.notify_one();
}

void CanberraBeeper::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
        if (waiting_.empty()) {
            return;
        }
        const BeepType type = waiting_.front();
        waiting_.pop_front();
        lock.unlock();
        if (play_) {
            play_(BeepEventId(type, themeHas_));
        }
        lock.lock();
    }
}

}  // namespace reradav
