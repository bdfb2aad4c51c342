// COM numbers to the device names Windows opens them by. Under Wine every
// port COM1..COM256 is a stand-in device (see com-names-test.sh): the name of
// each number must open that number's device and no other.
#include "platform/win/ComDeviceName.h"

#include "WinTestSupport.h"

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <gtest/gtest.h>

using zelt::win::comDeviceName;
using namespace zelt::wintest;

namespace {

TEST(ComDeviceName, NumbersInRangeGetTheDeviceNamespaceForm)
{
    const struct {
        int com;
        std::u16string name;
    } rows[] = {
        {1, u"\\\\.\\COM1"},   {9, u"\\\\.\\COM9"},     {10, u"\\\\.\\COM10"},
        {99, u"\\\\.\\COM99"}, {256, u"\\\\.\\COM256"}, {65535, u"\\\\.\\COM65535"},
        {0, u""},              {-1, u""},               {65536, u""},
        {INT_MIN, u""},        {INT_MAX, u""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(utf8(comDeviceName(row.com)), utf8(row.name)) << "COM" << row.com;
}

// The stand-in devices are files under this directory, seen through Wine's
// drive Z:, which maps the Linux root.
std::string standInPath(const std::string& dir, int com)
{
    std::string path = "Z:" + dir + "/com" + std::to_string(com);
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ComDeviceName, EachNameFromCom1ToCom256OpensItsOwnPort)
{
    const char* dir = std::getenv("ZELT_COM_DEVICE_DIR");
    ASSERT_TRUE(dir && *dir) << "ZELT_COM_DEVICE_DIR is not set: run this test through com-names-test.sh";

    for (int com = 1; com <= 256; ++com) {
        const std::u16string name = comDeviceName(com);
        HANDLE port = CreateFileW(reinterpret_cast<const wchar_t*>(name.c_str()), GENERIC_READ | GENERIC_WRITE, 0,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(port, INVALID_HANDLE_VALUE) << utf8(name) << " does not open (error " << GetLastError() << ")";
        const std::string mark = "COM" + std::to_string(com);
        DWORD written = 0;
        const BOOL ok = WriteFile(port, mark.data(), static_cast<DWORD>(mark.size()), &written, nullptr);
        CloseHandle(port);
        ASSERT_TRUE(ok && written == mark.size()) << utf8(name);
    }
    // Each device got its own number's mark, and only that.
    for (int com = 1; com <= 256; ++com)
        EXPECT_EQ(contents(standInPath(dir, com)), "COM" + std::to_string(com));

    // A number without a device opens nothing (not some other port).
    const std::u16string missing = comDeviceName(257);
    HANDLE none = CreateFileW(reinterpret_cast<const wchar_t*>(missing.c_str()), GENERIC_READ | GENERIC_WRITE, 0,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(none, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    if (none != INVALID_HANDLE_VALUE)
        CloseHandle(none);
}

}  // namespace
