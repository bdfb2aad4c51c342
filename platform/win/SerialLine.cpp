#include "platform/win/SerialLine.h"

#include "platform/win/ComDeviceName.h"
#include "platform/win/WideText.h"

#include <windows.h>

#include <algorithm>

namespace zelt::win {

namespace {

// The read of what the system holds after the first byte finds its bytes
// there; it is given this long before it is cut short.
constexpr DWORD kDrainWaitMs = 2000;

HANDLE h(void* p)
{
    return static_cast<HANDLE>(p);
}

// Errors with which a read or write fails once the device behind the handle
// is gone: a closed pseudo-terminal (Wine: broken pipe), an unplugged USB
// adapter (the drivers use several).
bool vanished(DWORD error)
{
    switch (error) {
    case ERROR_BROKEN_PIPE:
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_BAD_COMMAND:
    case ERROR_NOT_READY:
    case ERROR_INVALID_HANDLE:
    case ERROR_GEN_FAILURE:
        return true;
    default:
        return false;
    }
}

bool isTimeout(DWORD error)
{
    return error == ERROR_TIMEOUT || error == ERROR_SEM_TIMEOUT;
}

void resetOverlapped(OVERLAPPED& o)
{
    HANDLE event = o.hEvent;
    o = OVERLAPPED{};
    o.hEvent = event;
}

}  // namespace

struct SerialLine::Pending {
    OVERLAPPED read{};
    OVERLAPPED drain{};
    OVERLAPPED write{};
    char firstByte = 0;
    std::string writing;
    DWORD readStartError = 0;   // ReadFile failed before the wait began
    DWORD writeStartError = 0;  // WriteFile failed before the write began
    bool readCancelled = false;
};

SerialLine::SerialLine() : pending_(new Pending)
{
    readEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    drainEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    writeEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    pending_->read.hEvent = h(readEvent_);
    pending_->drain.hEvent = h(drainEvent_);
    pending_->write.hEvent = h(writeEvent_);
}

SerialLine::~SerialLine()
{
    close();
    for (void* event : {readEvent_, drainEvent_, writeEvent_}) {
        if (event)
            CloseHandle(h(event));
    }
    delete pending_;
}

LineResult SerialLine::open(int comNumber)
{
    close();
    const std::u16string name = comDeviceName(comNumber);
    if (name.empty())
        return {LineProblem::NoSuchPort, ERROR_FILE_NOT_FOUND};
    if (!readEvent_ || !drainEvent_ || !writeEvent_)
        return {LineProblem::Failed, ERROR_NOT_ENOUGH_MEMORY};

    HANDLE port = CreateFileW(wide(name), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return {LineProblem::NoSuchPort, error};
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return {LineProblem::InUse, error};
        default:
            return {LineProblem::Failed, error};
        }
    }

    // The guard: an object named after the port, existing while a line has
    // the port open. Without it (the system could not make one) the line
    // relies on the system's refusal alone.
    const std::u16string guardName = u"zelt-serial-line-" + name.substr(name.find(u"COM"));
    SetLastError(ERROR_SUCCESS);
    HANDLE guard = CreateMutexW(nullptr, FALSE, wide(guardName));
    if (guard && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(guard);
        CloseHandle(port);
        return {LineProblem::InUse, ERROR_ACCESS_DENIED};
    }

    const auto refuse = [&](DWORD error) {
        if (guard)
            CloseHandle(guard);
        CloseHandle(port);
        return LineResult{LineProblem::Failed, error};
    };
    if (!SetupComm(port, kInQueue, kOutQueue))
        return refuse(GetLastError());

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port, &dcb))
        return refuse(GetLastError());
    dcb.BaudRate = kBaudRate;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    // A line error must not stop the reads until someone clears it.
    dcb.fAbortOnError = FALSE;
    dcb.EvtChar = 0;
    if (!SetCommState(port, &dcb))
        return refuse(GetLastError());

    // A read returns at once with what is there; with nothing there it
    // returns as soon as a byte arrives, or empty after the constant.
    // Writes have no time limit: they are waited on, and cancelled at close.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = kFirstByteWaitMs;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    if (!SetCommTimeouts(port, &timeouts))
        return refuse(GetLastError());

    // Whatever arrived while the port was closed is not for this session.
    if (!PurgeComm(port, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR))
        return refuse(GetLastError());

    handle_ = port;
    guard_ = guard;
    receiving_ = false;
    sending_ = false;
    ResetEvent(h(readEvent_));
    ResetEvent(h(writeEvent_));
    return {};
}

void SerialLine::cancelAndWait(void* overlapped)
{
    auto* o = static_cast<OVERLAPPED*>(overlapped);
    CancelIoEx(h(handle_), o);
    DWORD ignored = 0;
    GetOverlappedResult(h(handle_), o, &ignored, TRUE);
}

void SerialLine::close()
{
    if (!handle_)
        return;
    if (receiving_ && !pending_->readStartError)
        cancelAndWait(&pending_->read);
    if (sending_ && !pending_->writeStartError)
        cancelAndWait(&pending_->write);
    receiving_ = false;
    sending_ = false;
    pending_->writing.clear();
    CloseHandle(h(handle_));
    handle_ = nullptr;
    if (guard_) {
        CloseHandle(h(guard_));
        guard_ = nullptr;
    }
    ResetEvent(h(readEvent_));
    ResetEvent(h(writeEvent_));
}

LineResult SerialLine::failure(unsigned long error) const
{
    if (vanished(error))
        return {LineProblem::Lost, error};
    // A handle whose device is gone fails this too.
    DWORD errors = 0;
    COMSTAT status{};
    if (handle_ && !ClearCommError(h(handle_), &errors, &status))
        return {LineProblem::Lost, error};
    return {LineProblem::Failed, error};
}

bool SerialLine::startReceive()
{
    if (!handle_)
        return false;
    if (receiving_)
        return true;
    Pending& p = *pending_;
    resetOverlapped(p.read);
    p.readStartError = 0;
    p.readCancelled = false;
    receiving_ = true;
    DWORD got = 0;
    if (ReadFile(h(handle_), &p.firstByte, 1, &got, &p.read)) {
        SetEvent(h(readEvent_));
        return true;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) {
        p.readStartError = error;
        SetEvent(h(readEvent_));
    }
    return true;
}

ReceiveOutcome SerialLine::collect(std::string& into, std::size_t room)
{
    ReceiveOutcome out;
    if (!receiving_) {
        out.finished = true;
        return out;
    }
    Pending& p = *pending_;
    DWORD got = 0;
    DWORD error = p.readStartError;
    if (!error && !GetOverlappedResult(h(handle_), &p.read, &got, FALSE)) {
        error = GetLastError();
        if (error == ERROR_IO_INCOMPLETE)
            return out;
    }
    receiving_ = false;
    ResetEvent(h(readEvent_));
    out.finished = true;
    if (got > 0 && room > 0) {
        into.push_back(p.firstByte);
        out.bytes = 1;
    }
    if (error) {
        // An empty first-byte wait ends as a timeout on some systems (Wine)
        // and as an empty success on others; a cancelled one ends aborted.
        if (!isTimeout(error) && !(p.readCancelled && error == ERROR_OPERATION_ABORTED))
            out.result = failure(error);
        return out;
    }
    if (out.bytes == 0 || room <= 1)
        return out;

    // The rest of what is there, without waiting for more.
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(h(handle_), &errors, &status) || status.cbInQue == 0)
        return out;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(status.cbInQue, room - 1));
    std::string chunk(want, '\0');
    resetOverlapped(p.drain);
    DWORD drained = 0;
    BOOL ok = ReadFile(h(handle_), &chunk[0], want, &drained, &p.drain);
    error = ok ? 0 : GetLastError();
    if (error == ERROR_IO_PENDING) {
        if (WaitForSingleObject(h(drainEvent_), kDrainWaitMs) != WAIT_OBJECT_0)
            CancelIoEx(h(handle_), &p.drain);
        // A cut-short read still reports the bytes it took.
        ok = GetOverlappedResult(h(handle_), &p.drain, &drained, TRUE);
        error = ok ? 0 : GetLastError();
    }
    into.append(chunk, 0, drained);
    out.bytes += drained;
    if (error && !isTimeout(error) && error != ERROR_OPERATION_ABORTED)
        out.result = failure(error);
    return out;
}

ReceiveOutcome SerialLine::receive(std::string& into, std::size_t room, unsigned long timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (!startReceive()) {
            ReceiveOutcome closed;
            closed.finished = true;
            closed.result = {LineProblem::Failed, ERROR_INVALID_HANDLE};
            return closed;
        }
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
        if (WaitForSingleObject(h(readEvent_), left) != WAIT_OBJECT_0) {
            // Out of time: end the wait; a byte it took meanwhile is kept.
            pending_->readCancelled = true;
            cancelAndWait(&pending_->read);
            ReceiveOutcome out = collect(into, room);
            out.timedOut = true;
            return out;
        }
        ReceiveOutcome out = collect(into, room);
        if (!out.finished || out.bytes > 0 || !out.result.ok())
            return out;
        // An empty wait ended: wait again while there is time.
        if (GetTickCount64() >= deadline)
            return out;
    }
}

bool SerialLine::purgeInput()
{
    if (!handle_)
        return false;
    if (receiving_) {
        if (!pending_->readStartError) {
            pending_->readCancelled = true;
            cancelAndWait(&pending_->read);
        }
        receiving_ = false;
        ResetEvent(h(readEvent_));
    }
    return PurgeComm(h(handle_), PURGE_RXCLEAR);
}

std::optional<unsigned long> SerialLine::waitingInSystem() const
{
    DWORD errors = 0;
    COMSTAT status{};
    if (!handle_ || !ClearCommError(h(handle_), &errors, &status))
        return std::nullopt;
    return status.cbInQue;
}

bool SerialLine::startSend(std::string bytes)
{
    if (!handle_ || sending_)
        return false;
    Pending& p = *pending_;
    p.writing = std::move(bytes);
    p.writeStartError = 0;
    resetOverlapped(p.write);
    sending_ = true;
    DWORD written = 0;
    if (WriteFile(h(handle_), p.writing.data(), static_cast<DWORD>(p.writing.size()), &written, &p.write)) {
        SetEvent(h(writeEvent_));
        return true;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) {
        p.writeStartError = error;
        SetEvent(h(writeEvent_));
    }
    return true;
}

SendOutcome SerialLine::finishSend()
{
    SendOutcome out;
    if (!sending_) {
        out.finished = true;
        return out;
    }
    Pending& p = *pending_;
    DWORD written = 0;
    DWORD error = p.writeStartError;
    if (!error && !GetOverlappedResult(h(handle_), &p.write, &written, FALSE)) {
        error = GetLastError();
        if (error == ERROR_IO_INCOMPLETE)
            return out;
    }
    sending_ = false;
    ResetEvent(h(writeEvent_));
    p.writing.clear();
    out.finished = true;
    out.written = written;
    if (error)
        out.result = failure(error);
    return out;
}

SendOutcome SerialLine::send(std::string bytes, unsigned long timeoutMs)
{
    const std::size_t size = bytes.size();
    if (!startSend(std::move(bytes))) {
        SendOutcome refused;
        refused.finished = true;
        refused.result = {LineProblem::Failed, static_cast<unsigned long>(handle_ ? ERROR_BUSY : ERROR_INVALID_HANDLE)};
        return refused;
    }
    if (WaitForSingleObject(h(writeEvent_), timeoutMs) != WAIT_OBJECT_0) {
        cancelAndWait(&pending_->write);
        SendOutcome out = finishSend();
        if (out.result.ok() && out.written < size)
            out.result = {LineProblem::Failed, ERROR_TIMEOUT};
        return out;
    }
    return finishSend();
}

bool SerialLine::setEventCharacter(std::optional<char> c)
{
    if (!handle_)
        return false;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h(handle_), &dcb))
        return false;
    dcb.EvtChar = c.value_or(0);
    if (!SetCommState(h(handle_), &dcb))
        return false;
    // Some drivers hand the character to the adapter only while its event
    // is watched; nothing here waits on the event itself.
    SetCommMask(h(handle_), c ? EV_RXFLAG : 0);
    return true;
}

std::optional<LineSettings> SerialLine::settings() const
{
    if (!handle_)
        return std::nullopt;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h(handle_), &dcb))
        return std::nullopt;
    LineSettings s;
    s.baudRate = dcb.BaudRate;
    s.dataBits = dcb.ByteSize;
    s.parity = dcb.Parity;
    s.stopBits = dcb.StopBits;
    s.ctsFlow = dcb.fOutxCtsFlow;
    s.dsrFlow = dcb.fOutxDsrFlow;
    s.dsrSensitivity = dcb.fDsrSensitivity;
    s.xonXoff = dcb.fOutX || dcb.fInX;
    s.abortOnError = dcb.fAbortOnError;
    s.dataTerminalReady = dcb.fDtrControl == DTR_CONTROL_ENABLE;
    s.requestToSend = dcb.fRtsControl != RTS_CONTROL_DISABLE;
    s.eventCharacter = dcb.EvtChar;
    return s;
}

std::string systemMessage(unsigned long error)
{
    wchar_t* text = nullptr;
    const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER;
    DWORD n = FormatMessageW(flags, nullptr, error, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                             reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (n == 0)
        n = FormatMessageW(flags, nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out;
    if (n > 0 && text) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
        out.assign(static_cast<std::size_t>(std::max(size, 0)), '\0');
        if (size > 0)
            WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), &out[0], size, nullptr, nullptr);
    }
    if (text)
        LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.'))
        out.pop_back();
    if (out.empty())
        out = "system error " + std::to_string(error);
    return out;
}

bool runningUnderWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace zelt::win
