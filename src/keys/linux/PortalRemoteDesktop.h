#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include <QString>

#include "keys/linux/EvdevKeyboard.h"

namespace reradav {

// Key events through the desktop portal's remote desktop (org.freedesktop.portal.RemoteDesktop),
// keyboard only. KDE grants it at once; GNOME asks the user, at every start unless the portal
// keeps a grant (version 2 and later: the token is kept in `tokenFile`).
class PortalRemoteDesktop : public KeySink {
  public:
    // Opens a session, waiting for the user's answer; nullptr and a sentence in *error when
    // there is no portal, or the user or the portal said no.
    static std::unique_ptr<EvdevKeyboard> Open(std::function<void()> serviceEvents,
                                               const std::filesystem::path& tokenFile,
                                               std::string* error);
    ~PortalRemoteDesktop() override;
    PortalRemoteDesktop(const PortalRemoteDesktop&) = delete;
    PortalRemoteDesktop& operator=(const PortalRemoteDesktop&) = delete;

    void Key(std::uint16_t code, bool press) override;
    std::string Failure() override { return failure_; }

  private:
    explicit PortalRemoteDesktop(QString session) : session_(std::move(session)) {}

    QString session_;
    std::string failure_;  // the first refusal: the session is over
};

}  // namespace reradav
