// The device-manager launch goes through the shell's "open" of devmgmt.msc.
// Wine has no management console, so the test gives the prefix a stand-in:
// a devmgmt.msc file in the system folder, where Windows keeps the real one,
// and an "open" command for .msc files that records its command line.
#include "platform/win/DeviceManager.h"

#include "WinTestSupport.h"

#include <fstream>
#include <sstream>
#include <gtest/gtest.h>

using namespace zelt::wintest;

namespace {

class DeviceManager : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t system[MAX_PATH];
        ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
        console_ = std::wstring(system) + L"\\devmgmt.msc";
        ASSERT_FALSE(exists(console_)) << "the prefix has a devmgmt.msc of its own";
        std::ofstream(console_.c_str()) << "<MMC_ConsoleFile/>\n";

        wchar_t temp[MAX_PATH];
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        record_ = std::wstring(temp) + L"zelt-open-record.txt";
        DeleteFileW(record_.c_str());
        SetEnvironmentVariableW(L"ZELT_OPEN_RECORD", record_.c_str());

        wchar_t self[MAX_PATH];
        const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring recorder(self, n);
        recorder = recorder.substr(0, recorder.find_last_of(L'\\') + 1) + L"open_recorder.exe";
        setDefault(L".msc", L"ZeltTest.MscFile");
        setDefault(L"ZeltTest.MscFile\\shell\\open\\command", L"\"" + recorder + L"\" \"%1\"");
    }
    void TearDown() override
    {
        DeleteFileW(console_.c_str());
        DeleteFileW(record_.c_str());
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L".msc");
        RegDeleteKeyW(HKEY_CLASSES_ROOT, L".msc");
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L"ZeltTest.MscFile");
        RegDeleteKeyW(HKEY_CLASSES_ROOT, L"ZeltTest.MscFile");
    }

    static bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

    static void setDefault(const wchar_t* key, const std::wstring& text)
    {
        HKEY k = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(k);
    }

    std::wstring recorded() const
    {
        std::ifstream in(record_.c_str(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        const std::string raw = bytes.str();
        return std::wstring(reinterpret_cast<const wchar_t*>(raw.data()), raw.size() / sizeof(wchar_t));
    }

    std::wstring console_;
    std::wstring record_;
};

TEST_F(DeviceManager, ShellOpensTheDeviceManagerConsole)
{
    EXPECT_TRUE(zelt::win::openDeviceManager(nullptr));
    ASSERT_TRUE(waitUntil([&] { return !recorded().empty(); }, 30000)) << "the shell started nothing";

    // The shell found devmgmt.msc in the system folder and opened it with
    // the command of the default verb.
    const std::wstring line = recorded();
    std::wstring lower = line, console = console_;
    CharLowerW(&lower[0]);
    CharLowerW(&console[0]);
    EXPECT_NE(lower.find(L"open_recorder.exe"), std::wstring::npos);
    EXPECT_NE(lower.find(L"\"" + console + L"\""), std::wstring::npos)
        << utf8(std::u16string(reinterpret_cast<const char16_t*>(line.c_str())));
}

}  // namespace
