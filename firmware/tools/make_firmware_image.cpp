// Writes the generated stand-in firmware image that the tool offers to the
// simulated logger (never to a real one).
//
//   make_firmware_image OUT.hex
//
// The image is Intel HEX text in the layout the logger's loader takes, as the
// PIC24FJ128GA310's HEX files are laid out (byte address = 2 x program-word
// address, every fourth byte the unused phantom byte 00):
//   4035 data records under upper address 0x0000,
//   ":020000040001F9", 3483 data records under upper address 0x0001,
//   ":020000040002F8", the configuration-word record at 0x2AFF0,
//   ":00000001FF", ";PIC24FJ128GA310", ";CRC=XXXX  CREATED=\"...\"", every
//   line ended by LF (so the text read back ends with an empty line).
// The program content is pseudo-random filler from a fixed seed, so the
// output is the same on every run; the CRC is CRC-16/CCITT (poly 0x1021,
// start 0xFFFF) over every data byte in address order.
//
// Only the standard library is used, so the tool builds on any host.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string hex(unsigned value, int digits)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        out[static_cast<std::size_t>(i)] = kDigits[value & 15];
    return out;
}

std::string record(unsigned address, unsigned type, const std::vector<std::uint8_t>& data)
{
    unsigned sum = static_cast<unsigned>(data.size()) + (address >> 8) + (address & 0xFF) + type;
    std::string line = ":" + hex(static_cast<unsigned>(data.size()), 2) + hex(address, 4) + hex(type, 2);
    for (const std::uint8_t b : data) {
        line += hex(b, 2);
        sum += b;
    }
    return line + hex((0x100 - (sum & 0xFF)) & 0xFF, 2);
}

struct Generator {
    std::uint32_t state = 0x5EED2024u;
    std::uint16_t crc = 0xFFFF;
    std::size_t dataBytes = 0;

    std::uint8_t nextByte()
    {
        state = state * 1664525u + 1013904223u;
        return static_cast<std::uint8_t>(state >> 24);
    }
    void addCrc(std::uint8_t b)
    {
        crc ^= static_cast<std::uint16_t>(b << 8);
        for (int i = 0; i < 8; ++i)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
        ++dataBytes;
    }
    // Instruction words: three bytes and the phantom byte.
    std::vector<std::uint8_t> program(int length)
    {
        std::vector<std::uint8_t> data;
        for (int i = 0; i < length; ++i)
            data.push_back(i % 4 == 3 ? 0 : nextByte());
        for (const std::uint8_t b : data)
            addCrc(b);
        return data;
    }
    std::vector<std::uint8_t> fixed(const std::vector<std::uint8_t>& data)
    {
        for (const std::uint8_t b : data)
            addCrc(b);
        return data;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.hex\n", argv[0]);
        return 2;
    }
    Generator g;
    std::vector<std::string> lines;

    // Reset vector and the start of the interrupt table, then the program.
    lines.push_back(record(0x0000, 0, g.program(8)));
    lines.push_back(record(0x0008, 0, g.program(4)));
    for (unsigned a = 0x0010; lines.size() < 4035; a += 16)
        lines.push_back(record(a, 0, g.program(16)));
    lines.push_back(":020000040001F9");
    unsigned a = 0;
    for (; lines.size() < 4036 + 3481; a += 16)
        lines.push_back(record(a, 0, g.program(16)));
    lines.push_back(record(a, 0, g.program(8)));
    lines.push_back(record(a + 8, 0, g.program(4)));
    lines.push_back(":020000040002F8");
    // Configuration words CONFIG4 .. CONFIG1 at the top of program memory.
    lines.push_back(record(0xAFF0, 0,
                           g.fixed({0xFF, 0xFF, 0x00, 0x00, 0x3F, 0xFF, 0x00, 0x00, 0x7F, 0xCE, 0x00, 0x00,
                                    0x7F, 0x3F, 0x00, 0x00})));
    lines.push_back(":00000001FF");
    lines.push_back(";PIC24FJ128GA310");
    // The time carries no ':', which a loader could take for the start of a record.
    lines.push_back(";CRC=" + hex(g.crc, 4) + "  CREATED=\"2024/06/07 09.30.00\"");

    std::string out;
    for (const std::string& line : lines)
        out += line + "\n";

    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f || std::fwrite(out.data(), 1, out.size(), f) != out.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
