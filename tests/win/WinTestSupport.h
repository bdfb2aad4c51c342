#pragma once
// Helpers of the Windows layer's tests: starting this test's helper programs,
// waiting on a condition with a deadline, and texts for failure messages.
#include <windows.h>

#include <chrono>
#include <string>
#include <thread>

namespace zelt::wintest {

// UTF-16 to UTF-8, for gtest's messages.
inline std::string utf8(const std::u16string& text)
{
    if (text.empty())
        return {};
    const auto* w = reinterpret_cast<const wchar_t*>(text.c_str());
    const int n = WideCharToMultiByte(CP_UTF8, 0, w, static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w, static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

inline std::u16string u16(const std::string& ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

// Polls cond every 20 ms until it holds (true) or timeoutMs passed (false).
template <class Cond>
bool waitUntil(Cond cond, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// A program started by the test; killed at the end of the test if it still runs.
class ChildProcess {
public:
    // program: a file beside this test's own executable; arguments: the rest
    // of the command line.
    ChildProcess(const std::wstring& program, const std::wstring& arguments)
    {
        wchar_t self[MAX_PATH];
        const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring path(self, n);
        path = path.substr(0, path.find_last_of(L'\\') + 1) + program;
        std::wstring commandLine = L"\"" + path + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &info)) {
            CloseHandle(info.hThread);
            process_ = info.hProcess;
        }
    }
    ~ChildProcess()
    {
        if (process_) {
            if (running())
                kill();
            CloseHandle(process_);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return process_ != nullptr; }
    HANDLE handle() const { return process_; }
    bool running() const { return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

    // Waits for the end; true when it ended within timeoutMs.
    bool waitForExit(DWORD timeoutMs) const { return WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0; }
    DWORD exitCode() const
    {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process_, &code);
        return code;
    }
    // Ends the program at once, as the task manager does: no clean-up runs.
    void kill() const
    {
        TerminateProcess(process_, 9);
        waitForExit(30000);
    }

private:
    HANDLE process_ = nullptr;
};

}  // namespace zelt::wintest
