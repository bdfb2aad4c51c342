// The check of a firmware HEX file against the loader's layout, on small
// files that each break one rule, and the reading of such a file.
#include "firmware/HexFile.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <vector>

namespace zelt {
namespace {

// A complete small image in the loader's layout: program data under upper
// addresses 0 and 1, the configuration words behind ":020000040002F8", the
// end-of-file record and a comment.
const std::vector<std::string> kValid = {
    ":08000000AC6D1B00DC75D4009F",                  // 1
    ":04000800FBFB780086",                          // 2
    ":020000040001F9",                              // 3
    ":08000000112233004455660093",                  // 4
    ":020000040002F8",                              // 5
    ":10AFF000FFFF00003FFF00007FCE00007F3F00000A",  // 6
    ":00000001FF",                                  // 7
    ";PIC24FJ128GA310",                             // 8
};

struct Edit {
    enum Op { Replace, Insert, Remove } op;
    int line;  // 1-based; Insert puts the text before this line
    std::string text;
};

QByteArray text(std::vector<std::string> lines, const std::vector<Edit>& edits = {}, const char* eol = "\n")
{
    for (const Edit& e : edits) {
        const auto at = lines.begin() + (e.line - 1);
        if (e.op == Edit::Replace)
            *at = e.text;
        else if (e.op == Edit::Insert)
            lines.insert(at, e.text);
        else
            lines.erase(at);
    }
    QByteArray out;
    for (const std::string& l : lines)
        out += QByteArray::fromStdString(l) + eol;
    return out;
}

struct BadCase {
    const char* name;
    std::vector<Edit> edits;
    int line;
    const char* words;  // part of the reason the user reads
};

TEST(HexCheck, FirstBadLineAndReason)
{
    const BadCase cases[] = {
        {"bad checksum", {{Edit::Replace, 2, ":04000800FBFB780087"}}, 2, "checksum 0x87 is wrong"},
        {"record type 03", {{Edit::Replace, 2, ":0400000300001234B3"}}, 2, "record type 0x03"},
        {"odd number of digits", {{Edit::Replace, 2, ":04000800FBFB78008"}}, 2, "odd number"},
        {"count does not match the length", {{Edit::Replace, 2, ":05000800FBFB780085"}}, 2, "byte count 0x05"},
        {"lower-case digits", {{Edit::Replace, 2, ":04000800fbfb780086"}}, 2, "lower-case"},
        {"not a hex digit", {{Edit::Replace, 2, ":04000800FBFB78G086"}}, 2, "'G' in column 16"},
        {"line without colon", {{Edit::Replace, 2, "04000800FBFB780086"}}, 2, "not ':'"},
        {"trailing blank", {{Edit::Replace, 2, ":04000800FBFB780086 "}}, 2, "byte 0x20 in column 20"},
        {"too short", {{Edit::Replace, 2, ":0000"}}, 2, "too short"},
        {"upper address beyond memory", {{Edit::Replace, 3, ":020000040003F7"}}, 3, "extended address 0x0003"},
        {"program data under upper address 2",
         {{Edit::Insert, 7, ":040000001122330096"}},
         7,
         "address 0x20000 is outside the program memory"},
        {"configuration words not right after their address record",
         {{Edit::Insert, 6, ":020000040000FA"}},
         6,
         "must follow :020000040002F8 directly"},
        {"configuration record beyond 0x2AFFF", {{Edit::Replace, 6, ":10FFF800000102030405060708090A0B0C0D0E0F81"}},
         6, "crosses a 64 KB boundary"},
        {"record crossing 64 KB", {{Edit::Replace, 4, ":10FFF800000102030405060708090A0B0C0D0E0F81"}}, 4,
         "crosses a 64 KB boundary"},
        {"second configuration address record",
         {{Edit::Insert, 7, ":020000040002F8"}},
         7,
         "second :020000040002F8"},
        {"second configuration record", {{Edit::Insert, 7, ":04AFF8007FCE000008"}}, 7, "outside the program memory"},
        {"no configuration words", {{Edit::Remove, 5, ""}, {Edit::Remove, 5, ""}}, 5, "no configuration words"},
        {"end-of-file record with data", {{Edit::Replace, 7, ":01000001AA54"}}, 7, "carries data"},
        {"missing end-of-file record", {{Edit::Remove, 8, ""}, {Edit::Remove, 7, ""}}, 7, "ends without the end-of-file"},
        {"data after end of file", {{Edit::Insert, 8, ":0400100001020300E6"}}, 8, "record after the end-of-file"},
        {"two end-of-file records", {{Edit::Insert, 8, ":00000001FF"}}, 8, "record after the end-of-file"},
        {"comment before end of file", {{Edit::Insert, 1, ";PIC24FJ128GA310"}}, 1, "comment before"},
        {"comment with a colon", {{Edit::Replace, 8, ";CREATED 09:30"}}, 8, "comment holds ':'"},
        {"empty line inside", {{Edit::Insert, 3, ""}}, 3, "empty line"},
    };
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<HexProblem> p = checkLoaderImage(splitHexText(text(kValid, c.edits)));
        ASSERT_TRUE(p.has_value());
        EXPECT_EQ(p->line, c.line) << p->what.toStdString();
        EXPECT_TRUE(p->what.contains(QString::fromLatin1(c.words))) << p->what.toStdString();
        EXPECT_TRUE(p->describe().startsWith(QStringLiteral("Line %1: ").arg(c.line)));
    }
}

TEST(HexCheck, AcceptedForms)
{
    const QByteArray lf = text(kValid);
    const ByteLines expected = splitHexText(lf);
    ASSERT_EQ(expected.size(), 9);
    EXPECT_TRUE(expected.view(8).isEmpty());
    struct Case {
        const char* name;
        QByteArray text;
        bool sameLines;  // the same lines as the LF file
    };
    const Case cases[] = {
        {"LF", lf, true},
        {"CR LF", text(kValid, {}, "\r\n"), true},
        {"no line break at the end", lf.chopped(1), true},
        {"explicit upper address 0", text(kValid, {{Edit::Insert, 1, ":020000040000FA"}}), false},
        {"no comment", text(kValid, {{Edit::Remove, 8, ""}}), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ByteLines lines = splitHexText(c.text);
        const std::optional<HexProblem> p = checkLoaderImage(lines);
        EXPECT_FALSE(p.has_value()) << p->describe().toStdString();
        EXPECT_TRUE(lines.view(lines.size() - 1).isEmpty());
        if (c.sameLines) {
            EXPECT_EQ(lines, expected);
        }
    }
}

TEST(HexFile, ReadsCheckedFileAndNamesTheBadLine)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto write = [&](const QString& name, const QByteArray& content) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        return f.fileName();
    };

    const HexFileResult good = loadHexFile(write(QStringLiteral("good.hex"), text(kValid, {}, "\r\n")));
    EXPECT_TRUE(good.error.isEmpty()) << good.error.toStdString();
    EXPECT_EQ(good.lines, splitHexText(text(kValid)));

    const HexFileResult bad =
        loadHexFile(write(QStringLiteral("bad.hex"), text(kValid, {{Edit::Replace, 4, ":08000000112233004455660094"}})));
    EXPECT_TRUE(bad.lines.empty());
    EXPECT_TRUE(bad.error.contains(QStringLiteral("bad.hex"))) << bad.error.toStdString();
    EXPECT_TRUE(bad.error.contains(QStringLiteral("Line 4: checksum 0x94 is wrong (the record's bytes give 0x93)")))
        << bad.error.toStdString();
    EXPECT_TRUE(bad.error.contains(QStringLiteral(":08000000112233004455660094"))) << bad.error.toStdString();

    const HexFileResult missing = loadHexFile(dir.filePath(QStringLiteral("none.hex")));
    EXPECT_TRUE(missing.lines.empty());
    EXPECT_TRUE(missing.error.contains(QStringLiteral("cannot be read"))) << missing.error.toStdString();

    QByteArray huge(static_cast<int>(kMaxHexFileBytes) + 1, ';');
    const HexFileResult large = loadHexFile(write(QStringLiteral("large.hex"), huge));
    EXPECT_TRUE(large.lines.empty());
    EXPECT_TRUE(large.error.contains(QStringLiteral("too large"))) << large.error.toStdString();
}

}  // namespace
}  // namespace zelt
