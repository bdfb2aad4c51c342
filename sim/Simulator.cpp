#include "sim/Simulator.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace zelt::sim {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kSerialBytesPerSecond = 11520;  // 115200 baud, 8N1
constexpr std::size_t kChunk = 4096;          // largest single write
constexpr std::size_t kPacedChunk = 64;       // write size when the rate is limited
constexpr std::size_t kAdapterPacket = 62;    // data bytes of one USB packet of the adapter
constexpr std::size_t kStreamBacklog = 4096;  // stream samples wait no longer than this

std::string errnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

// How many descriptors other than the simulator's own slave refer to the
// device, counted over the processes of this user. Open and close events only
// say that something changed (the kernel merges identical events that follow
// each other), so the users are counted afresh after each batch of events.
int countUsers(const std::string& devicePath, int ownSlave)
{
    DIR* proc = opendir("/proc");
    if (!proc)
        return -1;
    const uid_t uid = getuid();
    const std::string self = std::to_string(getpid());
    int users = 0;
    char target[PATH_MAX];
    while (dirent* p = readdir(proc)) {
        const char* pid = p->d_name;
        if (*pid < '1' || *pid > '9')
            continue;
        const std::string base = std::string("/proc/") + pid;
        struct stat st {};
        if (stat(base.c_str(), &st) != 0 || (uid != 0 && st.st_uid != uid))
            continue;
        DIR* fds = opendir((base + "/fd").c_str());
        if (!fds)
            continue;
        while (dirent* f = readdir(fds)) {
            if (f->d_name[0] == '.')
                continue;
            const ssize_t len = readlink((base + "/fd/" + f->d_name).c_str(), target, sizeof target - 1);
            if (len <= 0)
                continue;
            target[len] = '\0';
            if (devicePath != target)
                continue;
            if (self == pid && std::atoi(f->d_name) == ownSlave)
                continue;
            ++users;
        }
        closedir(fds);
    }
    closedir(proc);
    return users;
}

// Microseconds from now to t (0 when t has passed): the loop sleeps to the
// microsecond, so that answers due in a millisecond come in one.
long long usUntil(Clock::time_point now, Clock::time_point t)
{
    if (t <= now)
        return 0;
    return std::chrono::duration_cast<std::chrono::microseconds>(t - now).count() + 1;
}

}  // namespace

Simulator::Simulator(Options options) : options_(std::move(options)), device_(options_.recording, options_.seed)
{
    device_.settings().loggerNumber = options_.loggerNumber;
    if (options_.realtime)
        device_.behaviour().bytesPerSecond = kSerialBytesPerSecond;
}

Simulator::~Simulator() { stop(); }

bool Simulator::running() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return running_ && !stopping_;
}

std::string Simulator::devicePath() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return path_;
}

void Simulator::setRegistration(int comNumber, RegisterFn registerFn, UnregisterFn unregisterFn)
{
    std::lock_guard<std::mutex> lock(mutex_);
    comNumber_ = comNumber;
    register_ = std::move(registerFn);
    unregister_ = std::move(unregisterFn);
}

// Opens a new pty: master non-blocking for the thread, slave in raw mode so no
// byte is translated, and a watch on the slave path to see the tool's opens.
bool Simulator::openPty(std::string* error)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        if (error)
            *error = errnoText("posix_openpt");
        return false;
    }
    char name[256] = {};
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
        if (error)
            *error = errnoText("pty set-up");
        ::close(master);
        return false;
    }
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        if (error)
            *error = errnoText(name);
        ::close(master);
        return false;
    }
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    tcsetattr(slave, TCSANOW, &tio);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);

    int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch >= 0 && inotify_add_watch(watch, name, IN_OPEN | IN_CLOSE) < 0) {
        ::close(watch);
        watch = -1;
    }

    std::string regError;
    std::unique_lock<std::mutex> lock(mutex_);
    master_ = master;
    slave_ = slave;
    inotify_ = watch;
    openCount_ = 0;
    path_ = name;
    device_.observations().portOpenCount = watch >= 0 ? 0 : -1;
    device_.observations().plugged = true;
    if (register_) {
        if (!register_(comNumber_, path_, &regError)) {
            lock.unlock();
            if (error)
                *error = regError;
            closePty();
            return false;
        }
        registered_ = true;
    }
    changed_.notify_all();
    return true;
}

void Simulator::closePty()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (registered_ && unregister_)
        unregister_(comNumber_);
    registered_ = false;
    for (int* fd : {&inotify_, &master_, &slave_}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    path_.clear();
    openCount_ = 0;
    device_.observations().portOpenCount = -1;
    device_.observations().plugged = false;
    burst_.clear();
    pending_.clear();
    out_.clear();
    outPos_ = 0;
    // A logger that loses its cable stops streaming.
    device_.stopStream();
    changed_.notify_all();
}

bool Simulator::start(std::string* error)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (running_)
            return true;
    }
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        if (error)
            *error = errnoText("pipe");
        return false;
    }
    for (int fd : pipeFds) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    if (!openPty(error)) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    wakeRead_ = pipeFds[0];
    wakeWrite_ = pipeFds[1];
    stopping_ = false;
    lastRefill_ = Clock::now();
    nextEnquiry_ = Clock::now();
    thread_ = std::thread([this] { run(); });
    threadId_ = thread_.get_id();
    running_ = true;
    return true;
}

void Simulator::stop()
{
    bool joinable;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!running_ && master_ < 0)
            return;
        stopping_ = true;
        joinable = running_;
    }
    wake();
    if (joinable)
        thread_.join();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_ = false;
    }
    // Work posted while the thread was ending would wait forever: run it here.
    std::deque<std::function<void()>> left;
    {
        std::lock_guard<std::mutex> tl(tasksMutex_);
        left.swap(tasks_);
    }
    for (auto& fn : left)
        fn();
    {
        std::lock_guard<std::mutex> tl(tasksMutex_);
        tasksRun_ += static_cast<long long>(left.size());
        tasksDone_.notify_all();
    }
    closePty();
    std::lock_guard<std::mutex> lock(mutex_);
    for (int* fd : {&wakeRead_, &wakeWrite_}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    stopping_ = false;
}

void Simulator::wake()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (wakeWrite_ >= 0) {
        const char b = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeWrite_, &b, 1);
    }
}

// Runs fn on the simulator thread (which owns the descriptors) and waits for
// it; runs it directly when the thread is not running.
void Simulator::callInThread(const std::function<void()>& fn)
{
    // Checked and posted under mutex_: while the thread exists the work goes
    // to it (or, if it is ending, to stop(), which drains the queue after the
    // join); once stop() has marked it gone, the caller runs the work itself.
    bool threaded;
    long long ticket = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        threaded = running_ && std::this_thread::get_id() != threadId_;
        if (threaded) {
            std::lock_guard<std::mutex> tl(tasksMutex_);
            tasks_.push_back(fn);
            ticket = ++tasksPosted_;
        }
    }
    if (!threaded) {
        fn();
        return;
    }
    wake();
    std::unique_lock<std::mutex> tl(tasksMutex_);
    tasksDone_.wait(tl, [&] { return tasksRun_ >= ticket; });
}

void Simulator::unplug()
{
    callInThread([this] { closePty(); });
}

bool Simulator::replug(std::string* error)
{
    bool ok = true;
    callInThread([&] {
        closePty();
        ok = openPty(error);
    });
    return ok;
}

// --- device state --------------------------------------------------------

Settings Simulator::settings() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return device_.settings();
}

void Simulator::setSettings(const Settings& settings)
{
    std::lock_guard<std::mutex> lock(mutex_);
    device_.settings() = settings;
}

Behaviour Simulator::behaviour() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return device_.behaviour();
}

void Simulator::setBehaviour(const Behaviour& behaviour)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        device_.behaviour() = behaviour;
    }
    wake();
}

void Simulator::setRecording(RecordingKind kind, std::uint32_t seed)
{
    std::lock_guard<std::mutex> lock(mutex_);
    device_.setRecording(kind, seed);
}

Recording Simulator::recording() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return device_.recording();
}

void Simulator::setReading(const Reading& reading)
{
    std::lock_guard<std::mutex> lock(mutex_);
    device_.setReading(reading);
}

void Simulator::clearReading()
{
    std::lock_guard<std::mutex> lock(mutex_);
    device_.setReading(std::nullopt);
}

void Simulator::setSilence(Silence silence) { auto b = behaviour(); b.silence = silence; setBehaviour(b); }
void Simulator::setNoise(bool on) { auto b = behaviour(); b.noise = on; setBehaviour(b); }
void Simulator::setEnquiry(Enquiry mode) { auto b = behaviour(); b.enquiry = mode; setBehaviour(b); }
void Simulator::setErrorMode(ErrorMode mode) { auto b = behaviour(); b.error = mode; setBehaviour(b); }
void Simulator::setReportForm(ReportForm form) { auto b = behaviour(); b.form = form; setBehaviour(b); }
void Simulator::setLoaderError(bool on) { auto b = behaviour(); b.loaderError = on; setBehaviour(b); }
void Simulator::setStreamSpeed(double factor) { auto b = behaviour(); b.streamSpeed = factor; setBehaviour(b); }
void Simulator::setAdapterLatency(int ms) { auto b = behaviour(); b.adapterLatencyMs = std::max(0, ms); setBehaviour(b); }
void Simulator::setAdapterEventCharacter(std::optional<char> c)
{
    auto b = behaviour();
    b.adapterEventChar = c ? static_cast<unsigned char>(*c) : -1;
    setBehaviour(b);
}

void Simulator::setSlow(int answerDelayMs, int bytesPerSecond)
{
    auto b = behaviour();
    b.answerDelayMs = std::max(0, answerDelayMs);
    b.bytesPerSecond = std::max(0, bytesPerSecond);
    setBehaviour(b);
}

void Simulator::setSlowStart(int ms, const std::string& commands)
{
    auto b = behaviour();
    b.slowStartMs = std::max(0, ms);
    b.slowStartCommands = commands;
    setBehaviour(b);
}

void Simulator::setSupportedModel(bool supported)
{
    std::lock_guard<std::mutex> lock(mutex_);
    device_.settings().supportedModel = supported;
}

Observations Simulator::observations() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return device_.observations();
}

bool Simulator::waitFor(const std::function<bool(const Observations&)>& pred, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, milliseconds(timeoutMs), [&] { return pred(device_.observations()); });
}

// --- the device thread ---------------------------------------------------

void Simulator::drop(std::size_t bytes)
{
    device_.observations().bytesDropped += static_cast<long long>(bytes);
}

// Drains the open/close events of the slave path and counts the port's users
// again; when the last one has gone, what is still on its way is lost.
void Simulator::handleOpenEvents()
{
    alignas(inotify_event) char buf[4096];
    bool any = false;
    bool lastWasOpen = false;
    for (ssize_t n; (n = ::read(inotify_, buf, sizeof buf)) > 0;) {
        any = true;
        for (char* p = buf; p < buf + n;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(p);
            if (ev->mask & (IN_OPEN | IN_CLOSE))
                lastWasOpen = (ev->mask & IN_OPEN) != 0;
            p += sizeof(inotify_event) + ev->len;
        }
    }
    if (!any)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    int users = countUsers(path_, slave_);
    if (users < 0)
        return;  // cannot tell: keep treating the port as open
    // The open event comes just before the new descriptor shows up in /proc;
    // the close event only after it has gone. So an open still counts even
    // when the recount cannot see it yet.
    if (lastWasOpen)
        users = std::max(users, 1);
    openCount_ = users;
    if (users == 0)
        portClosedByAll();
    device_.observations().portOpenCount = openCount_;
    changed_.notify_all();
}

// Nobody has the port open any more. On the real line, whatever the logger
// sends now is lost; here it would wait in the pty for the next opener, so it
// is thrown away instead. The line is also put back into a state the next
// opener can use (raw, not exclusive). Called with mutex_ held.
void Simulator::portClosedByAll()
{
    if (slave_ >= 0) {
        ioctl(slave_, TIOCNXCL);
        termios tio{};
        if (tcgetattr(slave_, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(slave_, TCSANOW, &tio);
        }
    }
    if (!options_.dropWhileClosed)
        return;
    std::size_t lost = out_.size() - outPos_;
    for (const auto& p : pending_)
        lost += p.bytes.size();
    out_.clear();
    outPos_ = 0;
    pending_.clear();
    if (slave_ >= 0) {
        int queued = 0;
        if (ioctl(slave_, FIONREAD, &queued) == 0 && queued > 0)
            lost += static_cast<std::size_t>(queued);
        tcflush(slave_, TCIFLUSH);
    }
    drop(lost);
}

void Simulator::run()
{
    char buf[4096];
    for (;;) {
        // Work handed over by other threads (unplug, replug).
        {
            std::unique_lock<std::mutex> tl(tasksMutex_);
            while (!tasks_.empty()) {
                auto fn = std::move(tasks_.front());
                tasks_.pop_front();
                tl.unlock();
                fn();
                tl.lock();
                ++tasksRun_;
                tasksDone_.notify_all();
            }
        }

        Behaviour b;
        bool streaming;
        int openCount;
        int master, watch, wakeFd;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_)
                return;
            b = device_.behaviour();
            streaming = device_.streaming();
            openCount = inotify_ >= 0 ? openCount_ : 1;
            master = master_;
            watch = inotify_;
            wakeFd = wakeRead_;
        }
        const auto now = Clock::now();
        const bool portClosed = options_.dropWhileClosed && openCount == 0;

        // Output rate: a token bucket refilled at the configured byte rate.
        if (b.bytesPerSecond > 0) {
            tokens_ += std::chrono::duration<double>(now - lastRefill_).count() * b.bytesPerSecond;
            tokens_ = std::min(tokens_, static_cast<double>(kPacedChunk));
        }
        lastRefill_ = now;

        // A burst is complete once the line has been quiet for the gap, or
        // at once when it is a whole firmware record for the loader.
        bool wholeRecord = false;
        if (!burst_.empty() && now - lastByte_ < milliseconds(options_.burstGapMs)) {
            std::lock_guard<std::mutex> lock(mutex_);
            wholeRecord = device_.wholeRecordWaiting(burst_);
        }
        if (!burst_.empty() && (wholeRecord || now - lastByte_ >= milliseconds(options_.burstGapMs))) {
            std::string answer;
            int startDelayMs = 0;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                answer = device_.receive(burst_, now);
                startDelayMs = device_.answerStartDelayMs();
                b = device_.behaviour();
                streaming = device_.streaming();
                changed_.notify_all();
            }
            // At a limited line rate the logger has the burst only once its
            // last byte has crossed the line.
            auto due = now;
            if (b.bytesPerSecond > 0)
                due = std::max(now, burstStart_ + std::chrono::microseconds(static_cast<long long>(
                                                      burst_.size() * 1000000.0 / b.bytesPerSecond)));
            burst_.clear();
            if (!answer.empty())
                pending_.push_back({due + milliseconds(b.answerDelayMs + startDelayMs), std::move(answer)});
        }
        while (!pending_.empty() && pending_.front().due <= now) {
            if (outPos_ > 0 && outPos_ == out_.size()) {
                out_.clear();
                outPos_ = 0;
            }
            out_ += pending_.front().bytes;
            pending_.pop_front();
        }

        // Samples of a running stream; when the port is closed or the reader
        // falls behind they are lost, as on the real line.
        if (streaming) {
            const bool room = out_.size() - outPos_ < kStreamBacklog && !portClosed;
            std::lock_guard<std::mutex> lock(mutex_);
            out_ += device_.takeSamples(now, 200, room);
            streaming = device_.streaming();
        }

        // Enquiries while idle.
        if (b.enquiry != Enquiry::Off && !streaming && burst_.empty() && pending_.empty() &&
            outPos_ == out_.size() && master >= 0 && now >= nextEnquiry_) {
            if (!portClosed) {
                std::lock_guard<std::mutex> lock(mutex_);
                out_ += device_.enquiry();
                changed_.notify_all();
            }
            nextEnquiry_ = now + milliseconds(std::max(20, b.enquiryIntervalMs));
        }

        if (portClosed && outPos_ < out_.size()) {
            std::lock_guard<std::mutex> lock(mutex_);
            drop(out_.size() - outPos_);
            out_.clear();
            outPos_ = 0;
        }

        // Write what may go out now.
        bool wantWrite = outPos_ < out_.size() && master >= 0;
        long long timeout = -1;  // microseconds, -1: until something happens
        if (wantWrite && b.bytesPerSecond > 0) {
            const double need = std::min<double>(static_cast<double>(out_.size() - outPos_), 16.0);
            if (tokens_ < need) {
                wantWrite = false;
                timeout = static_cast<long long>((need - tokens_) * 1000000.0 / b.bytesPerSecond) + 1;
            }
        }
        // The adapter hands bytes on when a packet's worth waits or its
        // latency timer runs out. The timer runs all the time (the adapter
        // reports its modem status to the computer at every expiry), so a
        // short answer waits for the next expiry: up to the whole timer.
        // Its event character, once it has crossed the line (within the
        // bytes the rate lets out now), is handed on at once with what was
        // before it; what follows waits again.
        std::size_t eventLimit = 0;  // bytes to hand on at once; 0: none
        if (wantWrite && b.adapterLatencyMs > 0 && b.adapterEventChar >= 0) {
            std::size_t crossed = out_.size() - outPos_;
            if (b.bytesPerSecond > 0)
                crossed = std::min(crossed, static_cast<std::size_t>(tokens_));
            const std::size_t at = out_.find(static_cast<char>(b.adapterEventChar), outPos_);
            if (at != std::string::npos && at < outPos_ + crossed)
                eventLimit = at + 1 - outPos_;
        }
        if (wantWrite && b.adapterLatencyMs > 0 && eventLimit == 0) {
            const auto period = milliseconds(b.adapterLatencyMs);
            if (!holding_) {
                holding_ = true;
                heldSince_ = now;
            }
            const auto sinceEpoch = heldSince_ - timerEpoch_;
            const auto ticks = sinceEpoch / period + (sinceEpoch % period != Clock::duration::zero() ? 1 : 0);
            const auto release = timerEpoch_ + ticks * period;
            if (out_.size() - outPos_ < kAdapterPacket && now < release) {
                wantWrite = false;
                const long long us = usUntil(now, release);
                timeout = timeout < 0 ? us : std::min(timeout, us);
            }
        }
        if (wantWrite) {
            std::size_t len = std::min(out_.size() - outPos_, b.bytesPerSecond > 0 ? kPacedChunk : kChunk);
            if (b.bytesPerSecond > 0)
                len = std::min(len, static_cast<std::size_t>(tokens_));
            if (eventLimit > 0 && out_.size() - outPos_ < kAdapterPacket)
                len = std::min(len, eventLimit);
            const ssize_t n = ::write(master, out_.data() + outPos_, len);
            if (n > 0) {
                outPos_ += static_cast<std::size_t>(n);
                if (b.bytesPerSecond > 0)
                    tokens_ -= static_cast<double>(n);
                if (outPos_ == out_.size()) {
                    out_.clear();
                    outPos_ = 0;
                }
                // Bytes still waiting wait for the timer's next expiry.
                holding_ = false;
                continue;  // try to write more straight away
            }
            // EAGAIN: the pty is full; wait until it drains.
        }

        // Sleep until something happens or something is due.
        auto consider = [&](Clock::time_point t) {
            const long long us = usUntil(now, t);
            timeout = timeout < 0 ? us : std::min(timeout, us);
        };
        if (!burst_.empty())
            consider(lastByte_ + milliseconds(options_.burstGapMs));
        if (!pending_.empty())
            consider(pending_.front().due);
        if (streaming) {
            std::lock_guard<std::mutex> lock(mutex_);
            consider(device_.nextSampleTime());
        }
        if (b.enquiry != Enquiry::Off)
            consider(nextEnquiry_);

        pollfd fds[3];
        nfds_t nfds = 0;
        fds[nfds++] = {wakeFd, POLLIN, 0};
        const nfds_t masterIdx = nfds;
        if (master >= 0)
            fds[nfds++] = {master, static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0};
        const nfds_t watchIdx = nfds;
        if (watch >= 0)
            fds[nfds++] = {watch, POLLIN, 0};
        timespec wait{static_cast<time_t>(timeout / 1000000), static_cast<long>(timeout % 1000000) * 1000};
        const int rc = ::ppoll(fds, nfds, timeout < 0 ? nullptr : &wait, nullptr);
        if (rc < 0 && errno != EINTR)
            return;
        if (rc <= 0)
            continue;
        if (fds[0].revents & POLLIN) {
            while (::read(wakeFd, buf, sizeof buf) > 0) {
            }
        }
        // Opens and closes first: bytes read next belong to the current opener.
        if (watch >= 0 && (fds[watchIdx].revents & POLLIN))
            handleOpenEvents();
        if (master >= 0 && (fds[masterIdx].revents & POLLIN)) {
            for (;;) {
                const ssize_t n = ::read(master, buf, sizeof buf);
                if (n <= 0)
                    break;
                if (burst_.empty())
                    burstStart_ = Clock::now();
                burst_.append(buf, static_cast<std::size_t>(n));
                lastByte_ = Clock::now();
            }
        }
    }
}

}  // namespace zelt::sim
