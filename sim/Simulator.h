#pragma once
// The simulated logger on a pseudo-terminal.
//
// The simulator holds the master side of a pty; the tool opens the slave
// (devicePath()) like the logger's USB serial port. A background thread
// polls the master, cuts the received bytes into bursts at idle gaps (the
// tool writes one command per write, with no terminator), lets the Device
// answer, and writes the answer back in chunks. The caller's thread is never
// needed, so the caller may block in its own event loop.
//
// Thread-safe: every public function may be called from any thread.
#include "sim/Device.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace zelt::sim {

struct Options {
    RecordingKind recording = RecordingKind::Default;
    std::uint32_t seed = 1;
    std::string loggerNumber = "20240624";
    bool realtime = false;        // output limited to the serial line's 11,520 bytes/s
    int burstGapMs = 15;          // silence that ends a burst of received bytes
    bool dropWhileClosed = true;  // output for a closed port is lost, as on the real line
};

class Simulator {
public:
    using RegisterFn = std::function<bool(int comNumber, const std::string& devicePath, std::string* error)>;
    using UnregisterFn = std::function<void(int comNumber)>;

    explicit Simulator(Options options = {});
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Opens the pty, registers it (when a registration is set) and starts the thread.
    bool start(std::string* error = nullptr);
    // Stops the thread, closes the pty and removes the registration.
    void stop();
    bool running() const;

    // The slave device the tool opens, "" while unplugged or stopped.
    std::string devicePath() const;

    // Registers the device under COM<comNumber> with these functions on
    // start and replug, and removes it on unplug and stop.
    void setRegistration(int comNumber, RegisterFn registerFn, UnregisterFn unregisterFn);

    // Pulls the cable: the pty is closed (its slave path disappears) and the
    // registration is removed.
    void unplug();
    // Plugs it back in: a new pty, registered under the same COM number.
    bool replug(std::string* error = nullptr);

    // Device state. Changes take effect from the next command.
    Settings settings() const;
    void setSettings(const Settings& settings);
    Behaviour behaviour() const;
    void setBehaviour(const Behaviour& behaviour);
    void setRecording(RecordingKind kind, std::uint32_t seed = 1);
    Recording recording() const;
    void setReading(const Reading& reading);
    void clearReading();  // back to the gently varying default

    // Single switches (each a shortcut for setBehaviour / setSettings).
    void setSilence(Silence silence);
    void setNoise(bool on);
    void setEnquiry(Enquiry mode);
    void setSlow(int answerDelayMs, int bytesPerSecond);
    // The answers to these commands (by first character; all when empty)
    // start only after ms.
    void setSlowStart(int ms, const std::string& commands = {});
    void setErrorMode(ErrorMode mode);
    void setReportForm(ReportForm form);
    void setSupportedModel(bool supported);
    void setLoaderError(bool on);
    void setStreamSpeed(double factor);
    void setAdapterLatency(int ms);
    // The adapter's event character, as the tool's driver would set it; nullopt: none.
    void setAdapterEventCharacter(std::optional<char> c);

    Observations observations() const;
    // Waits until pred(observations()) holds or the timeout passes; returns
    // whether it held.
    bool waitFor(const std::function<bool(const Observations&)>& pred, int timeoutMs) const;

private:
    struct Pty;
    void run();
    bool openPty(std::string* error);
    void closePty();
    void callInThread(const std::function<void()>& fn);
    void wake();
    void handleOpenEvents();
    void portClosedByAll();
    void drop(std::size_t bytes);

    Options options_;
    mutable std::mutex mutex_;  // guards device_, path_, registration, observations
    mutable std::condition_variable changed_;
    Device device_;
    std::string path_;
    int comNumber_ = 0;
    RegisterFn register_;
    UnregisterFn unregister_;
    bool registered_ = false;

    // File descriptors (owned by the thread while it runs).
    int master_ = -1;
    int slave_ = -1;     // kept open so closing the tool's side never hangs the line up
    int inotify_ = -1;   // sees the tool open and close the port
    int wakeRead_ = -1, wakeWrite_ = -1;
    int openCount_ = 0;  // opens of the slave by others than the simulator

    // Thread and work handed to it.
    std::thread thread_;
    std::thread::id threadId_;
    bool running_ = false;   // thread started and not yet joined (under mutex_)
    bool stopping_ = false;
    std::mutex tasksMutex_;
    std::condition_variable tasksDone_;
    std::deque<std::function<void()>> tasks_;
    long long tasksPosted_ = 0, tasksRun_ = 0;

    // Thread-owned I/O state.
    std::string burst_;
    std::chrono::steady_clock::time_point lastByte_;
    std::chrono::steady_clock::time_point burstStart_;
    // The adapter's latency timer expires at whole periods from here; the
    // output waiting for it has waited since heldSince_.
    std::chrono::steady_clock::time_point timerEpoch_ = std::chrono::steady_clock::now();
    bool holding_ = false;
    std::chrono::steady_clock::time_point heldSince_;
    struct Pending {
        std::chrono::steady_clock::time_point due;
        std::string bytes;
    };
    std::deque<Pending> pending_;
    std::string out_;
    std::size_t outPos_ = 0;
    double tokens_ = 0;
    std::chrono::steady_clock::time_point lastRefill_;
    std::chrono::steady_clock::time_point nextEnquiry_;
};

}  // namespace zelt::sim
