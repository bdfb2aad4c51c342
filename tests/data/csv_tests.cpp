// Saving the log memo as a CSV file (保存) and reading such a file back
// (FILE): the file name rules, the dialogs' settings, cancels, files that
// cannot be written or read, line ends, and byte-exact round trips of the
// recording fixtures.
#include "tests/data/DataTool.h"

#include "data/Download.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace zelt;
using namespace zelt::test;

namespace {

const std::vector<QByteArray> kSomeLines = {
    "Start Year=2024 @1G=10",
    "date time,x(G),y(G),z(G),temperature(C)",
    "2024/06/24 09:00:00.000,  2, -1,  3, 21.3",
};

struct CsvTool : ReadyTool {
    PlainTempDir dir;
    CsvTool()
    {
        f->Memo1->setLines(kSomeLines);
        f->currentFileName = QStringLiteral("02042");
    }
    QStringList files() const { return QDir(dir.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }
    void save(const std::optional<QString>& answer)
    {
        dialogs.files.push_back(answer);
        f->Button6->click();
    }
    void open(const std::optional<QString>& answer)
    {
        dialogs.files.push_back(answer);
        f->Button11->click();
    }
};

// ---------------------------------------------------------------------------
// Save.

struct SaveNameCase {
    const char* name;
    const char* chosen;   // relative to the temporary folder
    const char* written;  // the file that must appear
};
void PrintTo(const SaveNameCase& c, std::ostream* os) { *os << c.name; }

class SaveName : public ::testing::TestWithParam<SaveNameCase> {};

TEST_P(SaveName, CsvIsAddedOnlyWhenThePathHasNoPointAtAll)
{
    const SaveNameCase& c = GetParam();
    CsvTool t;
    ASSERT_TRUE(t.dir.usable()) << t.dir.dir.path().toStdString();
    ASSERT_TRUE(QDir(t.dir.dir.path()).mkpath(QStringLiteral("my.data")));
    ASSERT_TRUE(QDir(t.dir.dir.path()).mkpath(QStringLiteral("plain")));

    t.save(t.dir.path(QString::fromLatin1(c.chosen)));

    EXPECT_TRUE(t.dialogs.messages.isEmpty()) << t.dialogs.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(fileBytes(t.dir.path(QString::fromLatin1(c.written))), withCrLf(kSomeLines));
    if (QString::fromLatin1(c.written) != QString::fromLatin1(c.chosen))
        EXPECT_FALSE(QFile::exists(t.dir.path(QString::fromLatin1(c.chosen))));
    else
        EXPECT_FALSE(QFile::exists(t.dir.path(QString::fromLatin1(c.chosen) + QStringLiteral(".csv"))));

    // The save dialog proposes "ZELT" + the logger ID and confirms overwrites.
    ASSERT_EQ(t.dialogs.fileRequests.size(), 1u);
    const FileRequest& asked = t.dialogs.fileRequests[0];
    EXPECT_EQ(asked.fileName, QStringLiteral("ZELT042"));
    EXPECT_EQ(asked.filter, QStringLiteral("CSV files (*.csv)|*.CSV"));
    EXPECT_TRUE(asked.confirmOverwrite);
    EXPECT_EQ(t.f->currentFileName, QStringLiteral("02042"));
    EXPECT_EQ(t.memo(), kSomeLines);
}

INSTANTIATE_TEST_SUITE_P(
    Names, SaveName,
    ::testing::Values(SaveNameCase{"NoPoint", "plain/rec", "plain/rec.csv"},
                      SaveNameCase{"PointInTheFolderOnly", "my.data/rec", "my.data/rec"},
                      SaveNameCase{"NameWithExtension", "plain/rec.txt", "plain/rec.txt"},
                      SaveNameCase{"UpperCaseExtension", "plain/rec.CSV", "plain/rec.CSV"},
                      SaveNameCase{"TrailingPoint", "plain/rec.", "plain/rec."}),
    [](const ::testing::TestParamInfo<SaveNameCase>& info) { return std::string(info.param.name); });

TEST(Save, WritesCp932WithoutBomAndReplacesAnOlderFile)
{
    CsvTool t;
    ASSERT_TRUE(t.dir.usable());
    t.f->Memo1->addLine(QStringLiteral("時間不整合"));
    const QString path = t.dir.path(QStringLiteral("rec.csv"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(5000, 'x'));
    }
    t.save(path);
    std::vector<QByteArray> lines = kSomeLines;
    lines.push_back("\x8e\x9e\x8a\xd4\x95\x73\x90\xae\x8d\x87");
    EXPECT_EQ(fileBytes(path), withCrLf(lines));
}

TEST(Save, CancelWritesNothingAndChangesNothing)
{
    CsvTool t;
    ASSERT_TRUE(t.dir.usable());
    t.save(std::nullopt);
    EXPECT_TRUE(t.files().isEmpty()) << t.files().join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(t.dialogs.fileRequests.size(), 1u);
    EXPECT_TRUE(t.dialogs.messages.isEmpty());
    EXPECT_EQ(t.memo(), kSomeLines);
    EXPECT_EQ(t.f->currentFileName, QStringLiteral("02042"));
}

TEST(Save, PathThatCannotBeWrittenShowsTheErrorAndChangesNothingElse)
{
    CsvTool t;
    ASSERT_TRUE(t.dir.usable());
    ASSERT_TRUE(QDir(t.dir.dir.path()).mkpath(QStringLiteral("taken.csv")));  // a folder in the way
    const QStringList paths = {t.dir.path(QStringLiteral("no-such-folder/rec.csv")),
                               t.dir.path(QStringLiteral("taken.csv"))};
    for (const QString& path : paths) {
        t.dialogs.messages.clear();
        t.save(path);
        ASSERT_EQ(t.dialogs.messages.size(), 1) << path.toStdString();
        EXPECT_TRUE(t.dialogs.messages[0].contains(path)) << t.dialogs.messages[0].toStdString();
        EXPECT_EQ(t.memo(), kSomeLines);
        EXPECT_EQ(t.f->currentFileName, QStringLiteral("02042"));
    }
    EXPECT_EQ(t.files(), QStringList{QStringLiteral("taken.csv")});
    EXPECT_TRUE(QFileInfo(t.dir.path(QStringLiteral("taken.csv"))).isDir());
}

// ---------------------------------------------------------------------------
// Open.

struct OpenCase {
    const char* name;
    const char* fixture;
    std::vector<QByteArray> lines;
};
void PrintTo(const OpenCase& c, std::ostream* os) { *os << c.name; }

class OpenFile : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OpenFile, ReplacesTheMemoWithTheFileLines)
{
    const OpenCase& c = GetParam();
    CsvTool t;
    const QString path = fixturePath(c.fixture);
    t.open(path);
    EXPECT_TRUE(t.dialogs.messages.isEmpty()) << t.dialogs.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(t.memo(), c.lines);
    EXPECT_EQ(t.f->currentFileName, path);

    ASSERT_EQ(t.dialogs.fileRequests.size(), 1u);
    const FileRequest& asked = t.dialogs.fileRequests[0];
    EXPECT_EQ(asked.defaultSuffix, QStringLiteral("csv"));
    EXPECT_EQ(asked.filter, QStringLiteral("text|*.csv"));
    EXPECT_TRUE(asked.mustExist);

    // Saved again, every line ends in CR LF whatever the file had.
    ASSERT_TRUE(t.dir.usable());
    const QString copy = t.dir.path(QStringLiteral("copy.csv"));
    t.save(copy);
    EXPECT_EQ(fileBytes(copy), withCrLf(c.lines));
}

const std::vector<QByteArray> kShortRecording = {
    "Start Year=2024",
    "Date,Xaxis,Yaxis,Zaxis,Temp",
    "",
    "2024/06/24 09:00:00.000,  2, -1,  3, 21.3",
};

INSTANTIATE_TEST_SUITE_P(
    Fixtures, OpenFile,
    ::testing::Values(
        OpenCase{"LfOnly", "lf_only.csv", kShortRecording},
        OpenCase{"CrOnly", "cr_only.csv", kShortRecording},
        // CR LF, a lone LF, then a lone CR (LF CR is two line ends), and no
        // line end after the last line.
        OpenCase{"MixedAndUnterminated", "mixed_ends.csv", kShortRecording},
        OpenCase{"OnlineCapture", "online_capture.csv",
                 {"Start Time=2024/06/24 10:15:30", "   2,  -1,  50", "   3,  -1,  49", " 120, -87,  12",
                  "  -4,   0,  51", "End=>2024/06/24 10:15:31"}},
        OpenCase{"IrregularRecording", "irregular.csv",
                 {"Start Year=2024 @1G=10",
                  "date time,x(G),y(G),z(G),temperature(C)",
                  "OK",
                  "xyz",
                  "2024/06/24 09:00:00.000,  2, -1,  3, 21.3",
                  "2024/06/24 09:00:01.000,  1,  0,  3, 21.3",
                  "2024/06/24 09:00:02.000, -2,  1,  2, 21.4",
                  "//\x81\xABIrregular Record //",
                  "\x81" "024/06/24 09:00:01.000,  0,  0,  3, 21.4",
                  "//\x81\xABIrregular Record //",
                  "2024/06/24 09:00:03.000,  1, -1,  4, 21.4",
                  "//Bad Record: 67090G3401FF041500 //",
                  "//\x81\xABIrregular Record //",
                  "\x81" "024/06/24 09:00:03.000,  2, -1,  3, 21.4",
                  "//\x81\xABIrregular Record //",
                  "2024/06/24 09:00:05.000,  0,  0,  3, -1.2"}}),
    [](const ::testing::TestParamInfo<OpenCase>& info) { return std::string(info.param.name); });

TEST(Open, IrregularRecordingRoundTripsByteForByte)
{
    CsvTool t;
    ASSERT_TRUE(t.dir.usable());
    t.open(fixturePath("irregular.csv"));
    const QString copy = t.dir.path(QStringLiteral("again"));
    t.save(copy);
    EXPECT_TRUE(t.dialogs.messages.isEmpty()) << t.dialogs.messages.join(QLatin1Char('|')).toStdString();
    const QByteArray original = fixtureBytes("irregular.csv");
    ASSERT_FALSE(original.isEmpty());
    EXPECT_EQ(fileBytes(copy + QStringLiteral(".csv")), original);
}

TEST(Open, CancelKeepsTheMemoAndTakesTheDialogsLastChoice)
{
    CsvTool t;
    // Never chosen a file: the data set name becomes empty.
    t.open(std::nullopt);
    EXPECT_EQ(t.memo(), kSomeLines);
    EXPECT_EQ(t.f->currentFileName, QString());
    EXPECT_TRUE(t.dialogs.messages.isEmpty());

    // Chosen once, renamed by a download since: cancel gives the last choice.
    const QString chosen = fixturePath("lf_only.csv");
    t.open(chosen);
    t.f->currentFileName = QStringLiteral("02042");
    t.f->Memo1->setLines(kSomeLines);
    t.open(std::nullopt);
    EXPECT_EQ(t.memo(), kSomeLines);
    EXPECT_EQ(t.f->currentFileName, chosen);
    // The dialog starts at the last choice.
    ASSERT_EQ(t.dialogs.fileRequests.size(), 3u);
    EXPECT_EQ(t.dialogs.fileRequests[2].fileName, chosen);
}

TEST(Open, FileThatCannotBeReadShowsTheErrorAndChangesNothing)
{
    CsvTool t;
    ASSERT_TRUE(t.dir.usable());
    ASSERT_TRUE(QDir(t.dir.dir.path()).mkpath(QStringLiteral("folder.csv")));
    const QStringList paths = {t.dir.path(QStringLiteral("missing.csv")), t.dir.path(QStringLiteral("folder.csv"))};
    for (const QString& path : paths) {
        t.dialogs.messages.clear();
        t.open(path);
        ASSERT_EQ(t.dialogs.messages.size(), 1) << path.toStdString();
        EXPECT_TRUE(t.dialogs.messages[0].contains(path)) << t.dialogs.messages[0].toStdString();
        EXPECT_EQ(t.memo(), kSomeLines);
        EXPECT_EQ(t.f->currentFileName, QStringLiteral("02042"));
        EXPECT_TRUE(t.f->OpenDialog1.fileName.isEmpty());
    }
}

}  // namespace
