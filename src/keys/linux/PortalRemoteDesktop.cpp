#include "keys/linux/PortalRemoteDesktop.h"

#include <linux/input-event-codes.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QObject>
#include <QVariantMap>
#include <chrono>
#include <thread>
#include <utility>

#include "common/Files.h"
#include "keys/linux/DesktopLayout.h"

namespace reradav {
namespace {

constexpr const char* kPortal = "org.freedesktop.portal.Desktop";
constexpr const char* kPath = "/org/freedesktop/portal/desktop";
constexpr const char* kRemoteDesktop = "org.freedesktop.portal.RemoteDesktop";
constexpr std::uint32_t kKeyboard = 1;
constexpr std::uint32_t kPersistUntilRevoked = 2;
constexpr int kSetUpMs = 30'000;
constexpr int kUserAnswerMs = 300'000;  // the user reads the question and answers it

}  // namespace

// The answer to one portal request, which comes as a signal on the request's own object.
class PortalAnswer : public QObject {
    Q_OBJECT

  public:
    bool answered = false;
    uint code = 2;
    QVariantMap results;

  public Q_SLOTS:
    void Response(uint response, const QVariantMap& values) {
        answered = true;
        code = response;
        results = values;
    }
};

namespace {

// Calls a portal method that answers through a request object; the results, or nullopt and
// why in *error.
std::optional<QVariantMap> Ask(const char* method, QVariantList args, QVariantMap options,
                               int waitMs, std::string* error) {
    static int tokens = 0;
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString token = QStringLiteral("reradav%1").arg(++tokens);
    const QString path = QStringLiteral("%1/request/%2/%3")
                             .arg(kPath, bus.baseService().mid(1).replace('.', '_'), token);
    PortalAnswer answer;
    bus.connect(kPortal, path, "org.freedesktop.portal.Request", "Response", &answer,
                SLOT(Response(uint, QVariantMap)));
    options.insert("handle_token", token);
    args.append(options);
    QDBusMessage call = QDBusMessage::createMethodCall(kPortal, kPath, kRemoteDesktop, method);
    call.setArguments(args);
    const QDBusMessage reply = bus.call(call, QDBus::Block, kSetUpMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        *error = "the remote-desktop portal refuses " + std::string(method) + " (" +
                 reply.errorMessage().toStdString() + ")";
        return std::nullopt;
    }
    const QDeadlineTimer deadline(waitMs);
    while (!answer.answered && !deadline.hasExpired()) {
        // No user input meanwhile: the windows are not made yet.
        QCoreApplication::processEvents(
            QEventLoop::WaitForMoreEvents | QEventLoop::ExcludeUserInputEvents, 50);
    }
    bus.disconnect(kPortal, path, "org.freedesktop.portal.Request", "Response", &answer,
                   SLOT(Response(uint, QVariantMap)));
    if (!answer.answered || answer.code != 0) {
        *error = !answer.answered   ? "the remote-desktop portal did not answer"
                 : answer.code == 1 ? "typing through the remote-desktop portal was not allowed"
                                    : "the remote-desktop portal ended the session";
        return std::nullopt;
    }
    return answer.results;
}

std::uint32_t PortalVersion() {
    QDBusInterface properties(kPortal, kPath, "org.freedesktop.DBus.Properties",
                              QDBusConnection::sessionBus());
    const QDBusMessage reply = properties.call("Get", kRemoteDesktop, "version");
    return reply.arguments().isEmpty()
               ? 0
               : reply.arguments().front().value<QDBusVariant>().variant().toUInt();
}

// "" or why the key was refused.
std::string Notify(const QString& session, std::uint16_t code, bool press) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kPortal, kPath, kRemoteDesktop, "NotifyKeyboardKeycode");
    call.setArguments({QVariant::fromValue(QDBusObjectPath(session)), QVariantMap(),
                       static_cast<int>(code), static_cast<uint>(press ? 1 : 0)});
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, kSetUpMs);
    return reply.type() == QDBusMessage::ErrorMessage ? reply.errorMessage().toStdString() : "";
}

}  // namespace

std::unique_ptr<EvdevKeyboard> PortalRemoteDesktop::Open(std::function<void()> serviceEvents,
                                                         const std::filesystem::path& tokenFile,
                                                         std::string* error) {
    if (QCoreApplication::instance() == nullptr) {
        *error = "the remote-desktop portal needs an event loop";
        return nullptr;
    }
    const std::uint32_t version = PortalVersion();
    if (version == 0) {
        *error = "no remote-desktop portal answers";
        return nullptr;
    }
    std::optional<QVariantMap> created =
        Ask("CreateSession", {}, {{"session_handle_token", "reradav"}}, kSetUpMs, error);
    if (!created) {
        return nullptr;
    }
    const QString session = created->value("session_handle").toString();
    QVariantMap devices{{"types", kKeyboard}};
    // From version 2 the portal can keep the user's grant: the token asks for it again.
    std::string token;
    if (version >= 2) {
        devices.insert("persist_mode", kPersistUntilRevoked);
        if (ReadWholeFile(tokenFile, token).empty() && !token.empty()) {
            devices.insert("restore_token", QString::fromStdString(token));
        }
    }
    std::optional<QVariantMap> started;
    if (Ask("SelectDevices", {QVariant::fromValue(QDBusObjectPath(session))}, devices, kSetUpMs,
            error)) {
        started = Ask("Start", {QVariant::fromValue(QDBusObjectPath(session)), QString()}, {},
                      kUserAnswerMs, error);
    }
    auto sink = std::unique_ptr<PortalRemoteDesktop>(new PortalRemoteDesktop(session));
    if (!started) {
        return nullptr;
    }
    if ((started->value("devices").toUInt() & kKeyboard) == 0) {
        *error = "the remote-desktop portal gave no keyboard";
        return nullptr;
    }
    if (const QString kept = started->value("restore_token").toString(); !kept.isEmpty()) {
        std::error_code ec;
        std::filesystem::create_directories(tokenFile.parent_path(), ec);
        (void)ReplaceFileAtomically(tokenFile, kept.toStdString(), 0600, FileMode::Always);
    }
    std::string source;
    std::string message;
    std::unique_ptr<XkbLayout> layout = CompileDesktopLayout(&source, &message);
    if (layout == nullptr) {
        *error = message;
        return nullptr;
    }
    // The session's keyboard appears with its first key, and GNOME loses what comes before the
    // focused window takes it up: a Shift press and release, then a moment.
    sink->Key(KEY_LEFTSHIFT, true);
    sink->Key(KEY_LEFTSHIFT, false);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return std::make_unique<EvdevKeyboard>(std::move(sink), std::move(layout),
                                           std::move(serviceEvents), std::move(source));
}

PortalRemoteDesktop::~PortalRemoteDesktop() {
    QDBusMessage close = QDBusMessage::createMethodCall(kPortal, session_,
                                                        "org.freedesktop.portal.Session", "Close");
    QDBusConnection::sessionBus().call(close, QDBus::Block, kSetUpMs);
}

void PortalRemoteDesktop::Key(std::uint16_t code, bool press) {
    if (const std::string refused = Notify(session_, code, press);
        !refused.empty() && failure_.empty()) {
        failure_ = "the remote-desktop portal types no more (" + refused + ")";
    }
}

}  // namespace reradav

#include "PortalRemoteDesktop.moc"
