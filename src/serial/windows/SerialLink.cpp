#include "serial/windows/SerialLink.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include "common/windows/SystemText.h"

namespace reradav {
namespace {

constexpr DWORD kReadMax = 4096;
// Output the device takes none of for this long is dropped.
constexpr unsigned long long kOutputStallMs = 5000;
// An idle line wakes the thread this often, to find a device that went away without failing
// the read (some USB drivers do).
constexpr DWORD kDeviceCheckMs = 1000;
// After an empty read: a driver that completes reads with nothing must not make the thread spin.
constexpr DWORD kEmptyReadPauseMs = 100;

// About a second of line time per write, so a stalled write is noticed even at 110 baud.
std::size_t ChunkFor(std::uint32_t baud) {
    return std::clamp<std::size_t>(baud / 10, 16, 4096);
}

// Started I/O either completed at once or is pending; both signal the event when done.
bool Started(BOOL done) {
    return done || ::GetLastError() == ERROR_IO_PENDING;
}

}  // namespace

SerialLink::SerialLink(HANDLE port, std::uint32_t baud)
    : port_(port),
      stop_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      wake_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      chunkSize_(ChunkFor(baud)) {}

SerialLink::~SerialLink() {
    Stop();
    ::CloseHandle(stop_);
    ::CloseHandle(wake_);
}

bool SerialLink::Start(std::function<void()> announce) {
    announce_ = std::move(announce);
    thread_ = ::CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
    return thread_ != nullptr;
}

DWORD WINAPI SerialLink::ThreadMain(void* link) {
    static_cast<SerialLink*>(link)->Run();
    return 0;
}

void SerialLink::Stop() {
    if (stopped_) {
        return;
    }
    stopped_ = true;
    ::SetEvent(stop_);
    if (thread_ != nullptr) {
        ::WaitForSingleObject(thread_, INFINITE);
        ::CloseHandle(thread_);
    }
    // A line held by flow control must not hold up the close either.
    ::PurgeComm(port_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    ::CloseHandle(port_);
}

void SerialLink::SetBaud(std::uint32_t baud) {
    chunkSize_ = ChunkFor(baud);
}

SerialLink::News SerialLink::Take() {
    std::lock_guard held(lock_);
    announced_ = false;
    return std::exchange(news_, News{});
}

std::string SerialLink::TakeReceived() {
    std::lock_guard held(lock_);
    return std::exchange(news_.received, {});
}

std::size_t SerialLink::Send(std::string_view bytes) {
    {
        std::lock_guard held(lock_);
        if (outbox_.size() + bytes.size() > kMaxQueuedOutput) {
            return std::exchange(outbox_, {}).size() + bytes.size();
        }
        outbox_ += bytes;
    }
    ::SetEvent(wake_);
    return 0;
}

void SerialLink::Run() {
    OVERLAPPED read{};
    OVERLAPPED write{};
    read.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    write.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::string buffer(kReadMax, '\0');
    std::string chunk;  // the bytes of the write in flight; empty when none is
    bool reading = false;
    for (;;) {
        if (!reading) {
            if (!StartRead(read, buffer)) {
                break;
            }
            reading = true;
        }
        if (chunk.empty()) {
            StartWrite(write, chunk);
        }
        DWORD timeout = kDeviceCheckMs;
        if (!chunk.empty()) {
            const unsigned long long waited = ::GetTickCount64() - chunkSince_;
            timeout = static_cast<DWORD>(std::min<unsigned long long>(
                timeout, kOutputStallMs - std::min(waited, kOutputStallMs)));
        }
        const HANDLE events[] = {stop_, read.hEvent, wake_, write.hEvent};
        const DWORD woke = ::WaitForMultipleObjects(chunk.empty() ? 3 : 4, events, FALSE, timeout);
        if (woke == WAIT_OBJECT_0 + 1) {
            reading = false;
            if (!FinishRead(read, buffer)) {
                break;
            }
        } else if (woke == WAIT_OBJECT_0 + 3) {
            FinishWrite(write, chunk, false);
        } else if (woke == WAIT_TIMEOUT) {
            DWORD queued = 0;
            if (!Alive(queued)) {
                break;
            }
        } else if (woke != WAIT_OBJECT_0 + 2) {
            if (woke == WAIT_FAILED) {
                Lose(::GetLastError());
            }
            break;  // stopped
        }
        // Checked on every turn: a line that keeps receiving must not keep a stall alive.
        if (!chunk.empty() && ::GetTickCount64() - chunkSince_ >= kOutputStallMs) {
            FinishWrite(write, chunk, true);
        }
    }
    // The OVERLAPPEDs must outlive their I/O.
    ::CancelIoEx(port_, nullptr);
    DWORD ignored = 0;
    if (reading) {
        ::GetOverlappedResult(port_, &read, &ignored, TRUE);
    }
    if (!chunk.empty()) {
        ::GetOverlappedResult(port_, &write, &ignored, TRUE);
    }
    ::CloseHandle(read.hEvent);
    ::CloseHandle(write.hEvent);
}

bool SerialLink::StartRead(OVERLAPPED& read, std::string& buffer) {
    if (!Started(::ReadFile(port_, buffer.data(), want_, nullptr, &read))) {
        Lose(::GetLastError());
        return false;
    }
    return true;
}

bool SerialLink::FinishRead(OVERLAPPED& read, const std::string& buffer) {
    DWORD got = 0;
    // A driver that aborts reads on a line error (whatever the DCB says) wants ClearCommError,
    // which Alive() calls; every other failure means the device is gone.
    if (!::GetOverlappedResult(port_, &read, &got, FALSE)) {
        if (const DWORD error = ::GetLastError(); error != ERROR_OPERATION_ABORTED) {
            Lose(error);
            return false;
        }
    }
    Deliver(buffer.data(), got);
    DWORD queued = 0;
    if (!Alive(queued)) {
        return false;
    }
    want_ = std::clamp<DWORD>(queued, 1, kReadMax);
    if (got == 0) {
        ::WaitForSingleObject(stop_, kEmptyReadPauseMs);
    }
    return true;
}

void SerialLink::StartWrite(OVERLAPPED& write, std::string& chunk) {
    {
        std::lock_guard held(lock_);
        chunk = outbox_.substr(0, chunkSize_);
        outbox_.erase(0, chunk.size());
    }
    if (chunk.empty()) {
        return;
    }
    chunkSince_ = ::GetTickCount64();
    if (!Started(
            ::WriteFile(port_, chunk.data(), static_cast<DWORD>(chunk.size()), nullptr, &write))) {
        const DWORD error = ::GetLastError();
        Drop(std::exchange(chunk, {}).size(), EIO, SystemMessage(error));
    }
}

void SerialLink::FinishWrite(OVERLAPPED& write, std::string& chunk, bool stalled) {
    if (stalled) {
        ::CancelIoEx(port_, &write);
    }
    DWORD written = 0;
    const bool done = ::GetOverlappedResult(port_, &write, &written, stalled);
    const DWORD error = done ? 0 : ::GetLastError();
    std::string rest = chunk.substr(std::min<std::size_t>(written, chunk.size()));
    chunk.clear();
    if (!done && stalled) {
        Drop(rest.size(), ETIMEDOUT, "the device takes no data");
    } else if (!done) {
        Drop(rest.size(), EIO, SystemMessage(error));
    } else if (!rest.empty()) {
        std::lock_guard held(lock_);
        outbox_.insert(0, rest);
    }
}

bool SerialLink::Alive(DWORD& queued) {
    DWORD errors = 0;
    COMSTAT status{};
    queued = 0;
    if (::ClearCommError(port_, &errors, &status)) {
        queued = status.cbInQue;
        return true;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED) {
        return true;  // a driver without it: only a failed read can tell
    }
    Lose(error);
    return false;
}

void SerialLink::Deliver(const char* bytes, std::size_t size) {
    if (size == 0) {
        return;
    }
    std::unique_lock held(lock_);
    news_.received.append(bytes, size);
    Announce(held);
}

void SerialLink::Drop(std::size_t bytes, int number, std::string why) {
    std::unique_lock held(lock_);
    news_.droppedBytes += bytes + std::exchange(outbox_, {}).size();
    news_.dropWhy = std::move(why);
    news_.dropNumber = number;
    Announce(held);
}

void SerialLink::Lose(DWORD error) {
    std::unique_lock held(lock_);
    news_.lostError = error != 0 ? error : ERROR_GEN_FAILURE;
    Announce(held);
}

void SerialLink::Announce(std::unique_lock<std::mutex>& held) {
    if (std::exchange(announced_, true)) {
        return;
    }
    held.unlock();
    announce_();
}

}  // namespace reradav
