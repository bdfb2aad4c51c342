#pragma once
// The tool's side of the simulated logger's line, for tests: opens the pty
// slave raw, writes commands in one write each and reads with poll against a
// deadline.
#include <functional>
#include <string>

namespace zelt::sim::test {

class PtyPort {
public:
    explicit PtyPort(const std::string& devicePath);
    ~PtyPort();
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    void close();
    bool send(const std::string& bytes);

    // Reads until done(everything read so far) holds, the line hangs up, or
    // timeoutMs passes; returns everything read.
    std::string readUntil(const std::function<bool(const std::string&)>& done, int timeoutMs);
    // Reads until `marks` end marks ('#') have arrived.
    std::string readAnswer(int marks = 1, int timeoutMs = 3000);
    // Everything that arrives within the window (for checking that nothing does).
    std::string readWindow(int ms);
    // One exchange: send, then read the answer.
    std::string exchange(const std::string& cmd, int marks = 1, int timeoutMs = 3000);
    bool hungUp() const { return hungUp_; }

private:
    int fd_ = -1;
    bool hungUp_ = false;
};

// Creates a private port directory and points ZELT_PORT_DIR at it while alive.
class TempPortDir {
public:
    TempPortDir();
    ~TempPortDir();
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string oldValue_;
    bool hadOld_ = false;
};

}  // namespace zelt::sim::test
