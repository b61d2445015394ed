#pragma once

#include <string>
#include <string_view>

namespace reradav::test {

// A pseudo-terminal that plays the scanner: the program opens the slave path.
class ScannerPty {
  public:
    ScannerPty() = default;
    ~ScannerPty();
    ScannerPty(const ScannerPty&) = delete;
    ScannerPty& operator=(const ScannerPty&) = delete;

    bool Open(std::string* error);
    const std::string& SlavePath() const { return slavePath_; }
    // Sends bytes as the scanner would, in one write.
    void Scan(std::string_view bytes);
    // Drops the slave end this side keeps open; call once the program has opened it.
    void CloseSlave();

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

}  // namespace reradav::test
