#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace reradav {

// One opening of a COM port: its handle and a thread that keeps an overlapped read and at most
// one overlapped write going, so that the user-interface thread never waits on the device.
//
// Reads ask for one byte and then for what the driver holds (ClearCommError): a one-byte read
// completes as soon as anything arrives, on every driver and under Wine, without the
// "return what is there" read time-outs that Wine does not honour for overlapped reads.
class SerialLink {
  public:
    // What the thread found since the last Take().
    struct News {
        std::string received;
        std::size_t droppedBytes = 0;  // output given up, with the reason of the last drop
        std::string dropWhy;
        int dropNumber = 0;   // errno-style
        DWORD lostError = 0;  // not 0 once the device is gone; the thread has then ended
    };

    // Output waiting for the device is never more than this.
    static constexpr std::size_t kMaxQueuedOutput = 1u << 20;

    // Takes the handle, opened with FILE_FLAG_OVERLAPPED.
    SerialLink(HANDLE port, std::uint32_t baud);
    ~SerialLink();
    SerialLink(const SerialLink&) = delete;
    SerialLink& operator=(const SerialLink&) = delete;

    HANDLE Handle() const { return port_; }
    // `announce` is called on the link's thread when there is news, once until the next Take().
    // False, with GetLastError() set, when the thread cannot be made.
    bool Start(std::function<void()> announce);
    // Cancels the pending I/O, joins the thread, discards what the driver still holds and
    // closes the handle. Further calls do nothing.
    void Stop();

    News Take();
    // The bytes received so far, leaving any other news (and the announcement) in place.
    std::string TakeReceived();
    // Queues bytes for the device; returns how many were given up instead (0 when queued).
    std::size_t Send(std::string_view bytes);
    // The rate sizes the pieces written, so that a stalled write is noticed at any rate.
    void SetBaud(std::uint32_t baud);

  private:
    static DWORD WINAPI ThreadMain(void* link);
    void Run();
    // Issues the next read; false when the device refused it.
    bool StartRead(OVERLAPPED& read, std::string& buffer);
    bool FinishRead(OVERLAPPED& read, const std::string& buffer);
    void StartWrite(OVERLAPPED& write, std::string& chunk);
    void FinishWrite(OVERLAPPED& write, std::string& chunk, bool stalled);
    // ClearCommError, which also clears a line error: false (and the link lost) when the
    // device is gone; otherwise how many bytes wait.
    bool Alive(DWORD& queued);
    void Deliver(const char* bytes, std::size_t size);
    void Drop(std::size_t bytes, int number, std::string why);
    void Lose(DWORD error);
    void Announce(std::unique_lock<std::mutex>& held);

    HANDLE port_;
    HANDLE stop_;
    HANDLE wake_;  // output was queued
    std::atomic<std::size_t> chunkSize_;
    std::function<void()> announce_;
    HANDLE thread_ = nullptr;  // a Win32 thread: nothing of it is left to the C++ runtime
    bool stopped_ = false;
    DWORD want_ = 1;                     // bytes the next read asks for (thread only)
    unsigned long long chunkSince_ = 0;  // when the write in flight was issued (thread only)

    std::mutex lock_;  // guards what follows
    News news_;
    bool announced_ = false;
    std::string outbox_;
};

}  // namespace reradav
