#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "keys/linux/EvdevKeyboard.h"

class QDBusInterface;

namespace reradav {

// Key events through GNOME's own remote-desktop interface on the session bus
// (org.gnome.Mutter.RemoteDesktop), which asks the user nothing: for kiosks that must start
// without a person (reradav --unattended). It is internal to GNOME, not a public interface.
class MutterRemoteDesktop : public KeySink {
  public:
    // Opens and starts a remote-desktop session; nullptr and a sentence in *error when GNOME's
    // compositor does not answer or refuses.
    static std::unique_ptr<EvdevKeyboard> Open(std::function<void()> serviceEvents,
                                               std::string* error);
    ~MutterRemoteDesktop() override;
    MutterRemoteDesktop(const MutterRemoteDesktop&) = delete;
    MutterRemoteDesktop& operator=(const MutterRemoteDesktop&) = delete;

    void Key(std::uint16_t code, bool press) override;
    std::string Failure() override { return failure_; }

  private:
    explicit MutterRemoteDesktop(std::unique_ptr<QDBusInterface> session);

    std::unique_ptr<QDBusInterface> session_;
    std::string failure_;  // the first refusal: the session is over
};

}  // namespace reradav
