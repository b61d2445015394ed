#include "keys/linux/MutterRemoteDesktop.h"

#include <linux/input-event-codes.h>

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <chrono>
#include <thread>
#include <utility>

#include "keys/linux/DesktopLayout.h"

namespace reradav {
namespace {

constexpr const char* kService = "org.gnome.Mutter.RemoteDesktop";

std::string Why(const QDBusError& error) {
    return error.message().isEmpty() ? error.name().toStdString() : error.message().toStdString();
}

}  // namespace

std::unique_ptr<EvdevKeyboard> MutterRemoteDesktop::Open(std::function<void()> serviceEvents,
                                                         std::string* error) {
    // Only the connection that made a session may use it: the process's own session bus.
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusInterface desktop(kService, "/org/gnome/Mutter/RemoteDesktop", kService, bus);
    const QDBusReply<QDBusObjectPath> path = desktop.call("CreateSession");
    if (!path.isValid()) {
        *error = "GNOME's remote desktop gives no session (" + Why(path.error()) + ")";
        return nullptr;
    }
    auto session = std::make_unique<QDBusInterface>(kService, path.value().path(),
                                                    QString(kService) + ".Session", bus);
    const QDBusReply<void> started = session->call("Start");
    if (!started.isValid()) {
        *error = "GNOME's remote desktop does not start (" + Why(started.error()) + ")";
        return nullptr;
    }
    std::string source;
    std::string message;
    std::unique_ptr<XkbLayout> layout = CompileDesktopLayout(&source, &message);
    if (layout == nullptr) {
        session->call("Stop");
        *error = message;
        return nullptr;
    }
    // The session's keyboard appears with its first key, and what comes before the
    // applications take it up is lost: a Shift press and release, then a moment, so that the
    // first character of the first read arrives.
    session->call("NotifyKeyboardKeycode", static_cast<uint>(KEY_LEFTSHIFT), true);
    session->call("NotifyKeyboardKeycode", static_cast<uint>(KEY_LEFTSHIFT), false);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return std::make_unique<EvdevKeyboard>(
        std::unique_ptr<MutterRemoteDesktop>(new MutterRemoteDesktop(std::move(session))),
        std::move(layout), std::move(serviceEvents), std::move(source));
}

MutterRemoteDesktop::MutterRemoteDesktop(std::unique_ptr<QDBusInterface> session)
    : session_(std::move(session)) {}

MutterRemoteDesktop::~MutterRemoteDesktop() {
    session_->call("Stop");
}

// In order, each answered: a key the compositor refused is not taken for typed.
void MutterRemoteDesktop::Key(std::uint16_t code, bool press) {
    const QDBusReply<void> sent =
        session_->call("NotifyKeyboardKeycode", static_cast<uint>(code), press);
    if (!sent.isValid() && failure_.empty()) {
        failure_ = "GNOME's remote desktop types no more (" + Why(sent.error()) + ")";
    }
}

}  // namespace reradav
