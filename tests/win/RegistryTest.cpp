// The port search, the tool's own rules, on the real Windows registry reader.
// The suites named after a state (LoggerPlugged, LoggerUnplugged,
// NoVirtualPort) expect the registry that registry-test.sh writes for that
// state; WindowsRegistryReader makes its own scratch key.
#include "platform/win/WindowsRegistry.h"
#include "shell/search/PortSearchRules.h"

#include "WinTestSupport.h"

#include <gtest/gtest.h>
#include <iterator>
#include <map>

using namespace zelt;
using namespace zelt::wintest;

namespace {

using Texts = std::vector<std::u16string>;

std::vector<std::string> utf8List(const Texts& texts)
{
    std::vector<std::string> out;
    for (const auto& t : texts)
        out.push_back(utf8(t));
    return out;
}

// The real reader, noting which keys the search asked for.
class ReadsNoted : public RegistryKeys {
public:
    std::optional<std::vector<RegistryEntry>> readKey(const std::u16string& keyPath) override
    {
        reads.push_back(keyPath);
        return system.readKey(keyPath);
    }
    win::WindowsRegistry system;
    Texts reads;
};

const std::u16string kMap = u16(kSerialCommKey);
const std::u16string kLogger = u16(kLoggerAdapterKey);
const std::u16string kGeneric = u16(kGenericAdapterKey);

// A suite that needs the registry of one state.
class RegistryState : public ::testing::Test {
protected:
    explicit RegistryState(const char* state) : state_(state) {}
    void SetUp() override
    {
        wchar_t text[64] = {};
        DWORD size = sizeof text;
        const LONG r = RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\ZeltViewTests", L"RegistryState",
                                    RRF_RT_REG_SZ, nullptr, text, &size);
        const std::string held = r == ERROR_SUCCESS ? utf8(std::u16string(reinterpret_cast<char16_t*>(text))) : "none";
        ASSERT_EQ(held, state_) << "the registry holds the state '" << held
                                << "': run this suite through registry-test.sh " << state_;
    }
    std::string state_;
};

class LoggerPlugged : public RegistryState {
protected:
    LoggerPlugged() : RegistryState("logger-plugged") {}
};
class LoggerUnplugged : public RegistryState {
protected:
    LoggerUnplugged() : RegistryState("logger-unplugged") {}
};
class NoVirtualPort : public RegistryState {
protected:
    NoVirtualPort() : RegistryState("no-virtual-port") {}
};

TEST_F(LoggerPlugged, TheLoggersPortIsFoundAndTheGenericKeyNeverRead)
{
    for (const bool generic : {false, true}) {
        SCOPED_TRACE(generic ? "generic adapter asked for" : "generic adapter not asked for");
        ReadsNoted registry;
        const PortSearchFacts facts = searchPortKeys(registry, generic);
        EXPECT_EQ(utf8List(facts.valueNames),
                  (std::vector<std::string>{"\\Device\\Serial0", "\\Device\\VCP0", "\\Device\\VCP1", "\\Device\\VCP2"}));
        EXPECT_EQ(utf8List(facts.vcpPorts), (std::vector<std::string>{"COM4", "COM7", "COM12"}));
        EXPECT_TRUE(facts.loggerAdapterKey);
        EXPECT_EQ(utf8(facts.loggerPortName), "COM7");
        EXPECT_EQ(facts.foundBy, PortSearchFacts::LoggerAdapter);
        EXPECT_EQ(utf8(facts.portName), "COM7");
        EXPECT_EQ(utf8List(registry.reads), utf8List(Texts{kMap, kLogger}));
    }
}

TEST_F(LoggerPlugged, TheAdapterKeyReadsAsTheDriverWroteIt)
{
    win::WindowsRegistry registry;
    const auto values = registry.readKey(kLogger);
    ASSERT_TRUE(values.has_value());
    std::map<std::string, std::string> byName;
    for (const RegistryEntry& v : *values)
        byName[utf8(v.name)] = utf8(v.data);
    EXPECT_EQ(byName.size(), 8u);
    EXPECT_EQ(byName["FriendlyName"], "USB Serial Port (COM7)");
    EXPECT_EQ(byName["Mfg"], "FTDI");
    ASSERT_EQ(byName.count("Capabilities"), 1u);
    EXPECT_EQ(byName["Capabilities"], "") << "a number has no text";
    ASSERT_EQ(byName.count("HardwareID"), 1u);
    EXPECT_EQ(byName["HardwareID"], "") << "a list of texts is not one text";

    const auto parameters = registry.readKey(kLogger + u"\\Device Parameters");
    ASSERT_TRUE(parameters.has_value());
    EXPECT_EQ(parameters->size(), 2u);

    // A key that does not exist is not an error and not an empty key.
    EXPECT_FALSE(registry.readKey(u"SYSTEM\\ControlSet001\\Enum\\FTDIBUS\\VID_0FE3+PID_6002+00000001A\\0001"));
    EXPECT_FALSE(registry.readKey(u"SYSTEM\\ControlSet001\\Enum\\FTDIBUS\\VID_0FE3+PID_6002+00000001B\\0000"));
}

TEST_F(LoggerUnplugged, NotFoundUnlessTheGenericAdapterIsAskedFor)
{
    ReadsNoted registry;
    const PortSearchFacts facts = searchPortKeys(registry, false);
    EXPECT_EQ(utf8List(facts.vcpPorts), (std::vector<std::string>{"COM4", "COM12"}));
    EXPECT_TRUE(facts.loggerAdapterKey) << "Windows keeps the key of an unplugged device";
    EXPECT_EQ(utf8(facts.loggerPortName), "COM7");
    EXPECT_EQ(facts.foundBy, PortSearchFacts::NotFound);
    EXPECT_EQ(utf8(facts.portName), "");
    EXPECT_FALSE(facts.genericAdapterKey);
    EXPECT_EQ(utf8List(registry.reads), utf8List(Texts{kMap, kLogger})) << "the generic key is read only when asked for";
}

TEST_F(LoggerUnplugged, TheGenericAdapterIsFoundWhenAskedFor)
{
    ReadsNoted registry;
    const PortSearchFacts facts = searchPortKeys(registry, true);
    EXPECT_TRUE(facts.genericAdapterKey);
    EXPECT_EQ(utf8(facts.genericPortName), "COM4");
    EXPECT_EQ(facts.foundBy, PortSearchFacts::GenericAdapter);
    EXPECT_EQ(utf8(facts.portName), "COM4");
    EXPECT_EQ(utf8List(registry.reads), utf8List(Texts{kMap, kLogger, kGeneric}));
}

TEST_F(NoVirtualPort, BuiltInPortsAloneAreTheNoPortCase)
{
    for (const bool generic : {false, true}) {
        SCOPED_TRACE(generic ? "generic adapter asked for" : "generic adapter not asked for");
        ReadsNoted registry;
        const PortSearchFacts facts = searchPortKeys(registry, generic);
        EXPECT_EQ(utf8List(facts.valueNames), (std::vector<std::string>{"\\Device\\Serial0", "\\Device\\Serial1"}));
        EXPECT_FALSE(facts.anyVcp);
        EXPECT_EQ(facts.foundBy, PortSearchFacts::NotFound);
        EXPECT_EQ(utf8List(registry.reads), utf8List(Texts{kMap})) << "no adapter key is read without a virtual port";
    }
}

// The reader itself, on a scratch key of its own: values of every type and
// of any length, in the order written.
class WindowsRegistryReader : public ::testing::Test {
protected:
    static constexpr const wchar_t* kScratch = L"SOFTWARE\\ZeltViewTests\\Reader";

    void SetUp() override
    {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kScratch);
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kScratch, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override
    {
        if (key_)
            RegCloseKey(key_);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kScratch);
    }
    void set(const wchar_t* name, DWORD type, const void* data, size_t bytes)
    {
        ASSERT_EQ(RegSetValueExW(key_, name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(bytes)),
                  ERROR_SUCCESS);
    }
    HKEY key_ = nullptr;
};

TEST_F(WindowsRegistryReader, ValuesOfEveryTypeAndLength)
{
    const std::wstring longText(5000, L'x');  // beyond any fixed buffer
    const wchar_t unterminated[] = {L'C', L'O', L'M', L'9'};
    const wchar_t twoTexts[] = L"first\0second\0";
    const DWORD number = 100;
    const wchar_t expandable[] = L"%SystemRoot%\\ports";
    const wchar_t japanese[] = L"\x30b7\x30ea\x30a2\x30eb";  // "シリアル"

    set(L"a-long", REG_SZ, longText.c_str(), (longText.size() + 1) * sizeof(wchar_t));
    set(L"b-unterminated", REG_SZ, unterminated, sizeof unterminated);
    set(L"c-two-texts", REG_MULTI_SZ, twoTexts, sizeof twoTexts);
    set(L"d-number", REG_DWORD, &number, sizeof number);
    set(L"e-expandable", REG_EXPAND_SZ, expandable, sizeof expandable);
    set(L"f-japanese", REG_SZ, japanese, sizeof japanese);
    set(L"g-empty", REG_SZ, L"", sizeof(wchar_t));

    win::WindowsRegistry registry;
    const auto values = registry.readKey(u"SOFTWARE\\ZeltViewTests\\Reader");
    ASSERT_TRUE(values.has_value());
    const struct {
        std::u16string name, data;
    } expected[] = {
        {u"a-long", std::u16string(5000, u'x')},
        {u"b-unterminated", u"COM9"},
        {u"c-two-texts", u""},
        {u"d-number", u""},
        {u"e-expandable", u"%SystemRoot%\\ports"},
        {u"f-japanese", u"\u30b7\u30ea\u30a2\u30eb"},
        {u"g-empty", u""},
    };
    ASSERT_EQ(values->size(), std::size(expected));
    for (size_t i = 0; i < values->size(); ++i) {
        EXPECT_EQ(utf8((*values)[i].name), utf8(expected[i].name)) << i;
        EXPECT_TRUE((*values)[i].data == expected[i].data) << utf8(expected[i].name) << ": "
                                                          << utf8((*values)[i].data).substr(0, 60);
    }

    // An empty key is there, with no values.
    HKEY sub = nullptr;
    ASSERT_EQ(RegCreateKeyExW(key_, L"Empty", 0, nullptr, 0, KEY_READ, nullptr, &sub, nullptr), ERROR_SUCCESS);
    RegCloseKey(sub);
    const auto empty = registry.readKey(u"SOFTWARE\\ZeltViewTests\\Reader\\Empty");
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->empty());
}

}  // namespace
