// Files through the buttons of the main window, as a user meets them: a file
// that is no recording is named as such before it replaces the log memo, the
// graph says why it refuses a data set, and files that cannot be opened,
// read or written are reported in Japanese with the file and the reason.
#include "tests/AppFixture.h"

#include "data/DataFiles.h"
#include "graph/TForm2.h"
#include "platform/FileErrors.h"
#include "platform/LogMemo.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace zelt;
using namespace zelt::test;

namespace {

const std::vector<QByteArray> kEarlierLines = {
    "Start Year=2024 @1G=10",
    "date time,x(G),y(G),z(G),temperature(C)",
    "2024/06/24 09:00:00.000,  2, -1,  3, 21.3",
};

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<cannot read>");
    return file.readAll();
}

// The tool on screen with a recording in its memo, its graph title set by an
// earlier download.
struct FileTool : AppFixture {
    TForm1* f = nullptr;
    QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/zeltfiles-XXXXXX")};

    FileTool()
    {
        f = &start();
        f->Memo1->setLines(kEarlierLines);
        f->currentFileName = QStringLiteral("02042");
        f->show();
    }

    QString path(const QString& name) const { return dir.path() + QLatin1Char('/') + name; }

    QString write(const QString& name, const QByteArray& content) const
    {
        QFile file(path(name));
        if (!file.open(QIODevice::WriteOnly))
            ADD_FAILURE() << "cannot write " << name.toStdString();
        file.write(content);
        return path(name);
    }

    // A click as the user gives it: on a button that is shown, enabled and
    // inside the main window.
    void click(QPushButton* button)
    {
        ASSERT_TRUE(button->isVisible()) << button->text().toStdString();
        ASSERT_TRUE(button->isEnabled()) << button->text().toStdString();
        const QRect inWindow(button->mapTo(f, QPoint(0, 0)), button->size());
        ASSERT_TRUE(f->rect().contains(inWindow)) << button->text().toStdString();
        QTest::mouseClick(button, Qt::LeftButton);
    }

    void openFile(const std::optional<QString>& chosen)
    {
        dialogs.files.push_back(chosen);
        click(f->Button11);  // FILE
    }

    std::vector<QByteArray> memo() const { return f->Memo1->lines(); }
};

// ---------------------------------------------------------------------------
// FILE on files that are no recordings.

struct NotRecordingCase {
    const char* name;
    QByteArray content;
    const char* said;  // what the question says is wrong
    std::vector<QByteArray> lines;  // the memo after Yes
};
void PrintTo(const NotRecordingCase& c, std::ostream* os) { *os << c.name; }

QByteArray mostlyNonText()
{
    // No NUL at all, but bytes that CP932 text never holds.
    QByteArray bytes;
    for (int i = 0; i < 400; ++i)
        bytes += QByteArray("\xFD\x80\x07\xFF\xA0 ab\x1F", 9);
    return bytes;
}

const NotRecordingCase kNotRecordings[] = {
    {"Empty", QByteArray(), "このファイルは空です", {}},
    {"NulBytes", QByteArray("PK\x03\x04\x00\x00\x08\x00", 8) + QByteArray("Start Year=2024\r\n"),
     "テキストではありません", {QByteArray("PK\x03\x04\x00\x00\x08\x00Start Year=2024", 23)}},
    {"MostlyNonText", mostlyNonText(), "テキストではありません", {mostlyNonText()}},
    // A configuration text saved by SAV: text, but its first line is no "Start".
    {"ConfigurationText", QByteArray("ID=zelt12\r\nThreshold=0.50\r\n\x8E\x9E\x8A\xD4\r\n"),
     "1行目が「Start」で始まっていません", {"ID=zelt12", "Threshold=0.50", "\x8E\x9E\x8A\xD4"}},
    {"StartLater", QByteArray("\r\nStart Year=2024\r\n"), "1行目が「Start」で始まっていません", {"", "Start Year=2024"}},
};

class NotARecording : public ::testing::TestWithParam<NotRecordingCase> {};

TEST_P(NotARecording, NoKeepsTheMemoAndTheTitle)
{
    const NotRecordingCase& c = GetParam();
    FileTool t;
    ASSERT_TRUE(t.dir.isValid());
    const QString file = t.write(QStringLiteral("chosen.csv"), c.content);
    t.dialogs.answers.push_back(false);
    t.openFile(file);

    ASSERT_EQ(t.dialogs.questions.size(), 1);
    const QString& asked = t.dialogs.questions[0];
    EXPECT_TRUE(asked.contains(file)) << asked.toStdString();
    EXPECT_TRUE(asked.contains(QString::fromUtf8(c.said))) << asked.toStdString();
    EXPECT_TRUE(asked.contains(QStringLiteral("読み込みますか"))) << asked.toStdString();
    EXPECT_TRUE(t.dialogs.messages.isEmpty()) << t.dialogs.messages.join('|').toStdString();
    EXPECT_EQ(t.memo(), kEarlierLines);
    // No is a cancelled opening: the title is the dialog's last choice (none yet).
    EXPECT_EQ(t.f->currentFileName, QString());
    EXPECT_TRUE(t.f->OpenDialog1.fileName.isEmpty());
}

TEST_P(NotARecording, YesLoadsTheFileAsItIs)
{
    const NotRecordingCase& c = GetParam();
    FileTool t;
    ASSERT_TRUE(t.dir.isValid());
    const QString file = t.write(QStringLiteral("chosen.csv"), c.content);
    t.dialogs.answers.push_back(true);
    t.openFile(file);

    EXPECT_EQ(t.dialogs.questions.size(), 1);
    EXPECT_TRUE(t.dialogs.messages.isEmpty()) << t.dialogs.messages.join('|').toStdString();
    EXPECT_EQ(t.memo(), c.lines);
    EXPECT_EQ(t.f->currentFileName, file);
}

INSTANTIATE_TEST_SUITE_P(Files, NotARecording, ::testing::ValuesIn(kNotRecordings),
                         [](const ::testing::TestParamInfo<NotRecordingCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(Recording, IsLoadedWithoutAQuestion)
{
    // Both kinds of recording, one with the irregular records' lone 0x81
    // bytes (no text, yet a recording), and one without line ends at all.
    const std::vector<std::vector<QByteArray>> recordings = {
        kEarlierLines,
        {"Start Time=2024/06/24 10:15:30 @1G=10", "   2,  -1,  50", "End=>2024/06/24 10:15:31"},
        {"Start Year=2024 @1G=10", "//\x81\xABIrregular Record //",
         "\x81" "024/06/24 09:00:01.000,  0,  0,  3, 21.4", "\x81" "024/06/24 09:00:02.000,  0,  0,  3, 21.4",
         "\x81" "024/06/24 09:00:03.000,  0,  0,  3, 21.4"},
        {"Start Year=2024"},
    };
    for (const auto& lines : recordings) {
        FileTool t;
        ASSERT_TRUE(t.dir.isValid());
        QByteArray content;
        for (const QByteArray& line : lines)
            content += line + "\r\n";
        if (lines.size() == 1)
            content.chop(2);
        const QString file = t.write(QStringLiteral("rec.csv"), content);
        t.f->Memo1->setLines(std::vector<QByteArray>{"an earlier answer"});
        t.openFile(file);
        EXPECT_TRUE(t.dialogs.questions.isEmpty()) << t.dialogs.questions.join('|').toStdString();
        EXPECT_TRUE(t.dialogs.messages.isEmpty()) << t.dialogs.messages.join('|').toStdString();
        EXPECT_EQ(t.memo(), lines);
        EXPECT_EQ(t.f->currentFileName, file);
    }
}

TEST(DataFileKind, FromTheFirstBytes)
{
    struct Case {
        QByteArray head;
        DataFileKind kind;
    };
    const Case cases[] = {
        {"", DataFileKind::Empty},
        {"Start Year=2024", DataFileKind::Recording},
        {"Start Time=2024/06/24 10:15:30\r\n", DataFileKind::Recording},
        {"start year=2024\r\n", DataFileKind::NotRecording},
        {"Star\r\nt", DataFileKind::NotRecording},
        {QByteArray("Start Year=2024\r\n\x00", 18), DataFileKind::Binary},
        // Japanese text, and a lead byte cut off by the end of what was read.
        {"\x8E\x9E\x8A\xD4\x95\x73\x90\xAE\x8D\x87\r\n\x81", DataFileKind::NotRecording},
        {"\xB1\xB2\xB3 half-width katakana", DataFileKind::NotRecording},
        // One byte in eight that is no text is still text; more is not.
        {"Start\x7F\x01" + QByteArray(14, 'a'), DataFileKind::Recording},
        {"Start\x7F\x01\x02" + QByteArray(13, 'a'), DataFileKind::Binary},
    };
    for (const Case& c : cases)
        EXPECT_EQ(inspectDataFile(c.head), c.kind) << c.head.toHex().toStdString();
}

// The real question box: Japanese captions, a click on either button, and
// Return taking the default, No.
TEST(QuestionBox, AnswersAsTheUserChooses)
{
    enum class Act { ClickYes, ClickNo, PressReturn };
    struct Case {
        Act act;
        bool answer;
    };
    for (const Case& c : {Case{Act::ClickYes, true}, Case{Act::ClickNo, false}, Case{Act::PressReturn, false}}) {
        QtDialogs dialogs;
        QString shownText;
        QStringList captions;
        QElapsedTimer since;
        since.start();
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) {
                if (since.elapsed() > 5000) {  // no box came: end the wait, the checks below fail
                    poll.stop();
                    if (QWidget* w = QApplication::activeModalWidget())
                        w->close();
                }
                return;
            }
            poll.stop();
            shownText = box->text();
            QAbstractButton* yes = box->button(QMessageBox::Yes);
            QAbstractButton* no = box->button(QMessageBox::No);
            captions << yes->text() << no->text();
            if (c.act == Act::ClickYes)
                QTest::mouseClick(yes, Qt::LeftButton);
            else if (c.act == Act::ClickNo)
                QTest::mouseClick(no, Qt::LeftButton);
            else
                QTest::keyClick(box, Qt::Key_Return);
        });
        poll.start(10);
        const bool answer = dialogs.question(QStringLiteral("読み込みますか？"));
        EXPECT_EQ(answer, c.answer) << static_cast<int>(c.act);
        EXPECT_EQ(shownText, QStringLiteral("読み込みますか？"));
        EXPECT_EQ(captions, (QStringList{QStringLiteral("はい(&Y)"), QStringLiteral("いいえ(&N)")}));
    }
}

// ---------------------------------------------------------------------------
// The graph button on a data set that is no recording.

TEST(GraphButton, SaysWhyItRefuses)
{
    struct Case {
        std::vector<QByteArray> lines;
        QString said;
    };
    const Case cases[] = {
        {{}, QStringLiteral("グラフを表示できません: ログにデータがありません")},
        {{"ID=zelt12", "Threshold=0.50"},
         QStringLiteral("グラフを表示できません: 1行目が「Start」で始まっていません（記録データではありません）")},
    };
    for (const Case& c : cases) {
        FileTool t;
        t.f->Memo1->setLines(c.lines);
        t.click(t.f->Button12);  // グラフ
        EXPECT_EQ(t.dialogs.messages, QStringList{c.said});
        EXPECT_FALSE(t.app->form2().isVisible());
    }
    // A recording opens the window and says nothing.
    FileTool t;
    t.click(t.f->Button12);
    EXPECT_TRUE(waitFor([&] { return t.app->form2().isVisible(); }));
    EXPECT_TRUE(t.dialogs.messages.isEmpty()) << t.dialogs.messages.join('|').toStdString();
}

// ---------------------------------------------------------------------------
// Files that cannot be written or read.

struct UnwritableCase {
    const char* name;
    const char* chosen;  // relative to the temporary folder
    QString reason;
};

const UnwritableCase kUnwritable[] = {
    {"MissingFolder", "no-such-folder/rec.csv", QStringLiteral("フォルダーがありません")},
    {"FolderInTheWay", "taken.csv", QStringLiteral("ファイルではなくフォルダーです")},
    {"FolderIsAFile", "plain.txt/rec.csv", QStringLiteral("フォルダーがありません")},
};

TEST(Unwritable, SaveAndSavReportInJapaneseWithFileAndReason)
{
    for (const UnwritableCase& c : kUnwritable) {
        for (const bool sav : {false, true}) {
            FileTool t;
            ASSERT_TRUE(t.dir.isValid());
            ASSERT_TRUE(QDir(t.dir.path()).mkpath(QStringLiteral("taken.csv")));
            t.write(QStringLiteral("plain.txt"), "text\r\n");
            const QString chosen = t.path(QString::fromLatin1(c.chosen));
            t.dialogs.files.push_back(chosen);
            t.click(sav ? t.f->Button27 : t.f->Button6);
            const QString expected = QStringLiteral("ファイルに書き込めません: %1（%2）").arg(chosen, c.reason);
            EXPECT_EQ(t.dialogs.messages, QStringList{expected}) << c.name << (sav ? " SAV" : " 保存");
            EXPECT_EQ(t.memo(), kEarlierLines);
            EXPECT_EQ(fileBytes(t.path(QStringLiteral("plain.txt"))), QByteArray("text\r\n"));
            EXPECT_TRUE(QFileInfo(t.path(QStringLiteral("taken.csv"))).isDir());
        }
    }
}

TEST(Unreadable, FileReportsInJapaneseAndChangesNothing)
{
    struct Case {
        const char* chosen;
        QString reason;
    };
    const Case cases[] = {
        {"missing.csv", QStringLiteral("ファイルがありません")},
        {"folder.csv", QStringLiteral("ファイルではなくフォルダーです")},
        {"no-such-folder/rec.csv", QStringLiteral("フォルダーがありません")},
    };
    for (const Case& c : cases) {
        FileTool t;
        ASSERT_TRUE(t.dir.isValid());
        ASSERT_TRUE(QDir(t.dir.path()).mkpath(QStringLiteral("folder.csv")));
        const QString chosen = t.path(QString::fromLatin1(c.chosen));
        t.openFile(chosen);
        EXPECT_EQ(t.dialogs.messages, QStringList{QStringLiteral("ファイルを開けません: %1（%2）").arg(chosen, c.reason)})
            << c.chosen;
        EXPECT_TRUE(t.dialogs.questions.isEmpty());
        EXPECT_EQ(t.memo(), kEarlierLines);
        EXPECT_EQ(t.f->currentFileName, QStringLiteral("02042"));
    }
}

// Rights are checked only for a user they apply to: the superuser reads and
// writes everything.
TEST(NoRights, FileSaveAndSavSayAccessIsDenied)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "run as the superuser, whom no file rights stop";
    FileTool t;
    ASSERT_TRUE(t.dir.isValid());
    const QString locked = t.write(QStringLiteral("locked.csv"), "Start Year=2024\r\n");
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::Permissions()));
    t.openFile(locked);
    EXPECT_EQ(t.dialogs.messages,
              QStringList{QStringLiteral("ファイルを開けません: %1（アクセスが拒否されました）").arg(locked)});
    EXPECT_EQ(t.memo(), kEarlierLines);

    const QString closedDir = t.path(QStringLiteral("closed"));
    ASSERT_TRUE(QDir().mkpath(closedDir));
    ASSERT_TRUE(QFile::setPermissions(closedDir, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const QString target = closedDir + QStringLiteral("/rec.csv");
    for (QPushButton* button : {t.f->Button6, t.f->Button27}) {
        t.dialogs.messages.clear();
        t.dialogs.files.push_back(target);
        t.click(button);
        EXPECT_EQ(t.dialogs.messages,
                  QStringList{QStringLiteral("ファイルに書き込めません: %1（アクセスが拒否されました）").arg(target)})
            << button->text().toStdString();
    }
    QFile::setPermissions(closedDir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST(FileProblem, ReasonsFromThePathAndTheDevice)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("folder")));
    {
        QFile file(dir.filePath(QStringLiteral("file.csv")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    struct Case {
        const char* path;
        FileAction action;
        QFileDevice::FileError error;
        FileProblem problem;
    };
    const Case cases[] = {
        {"missing.csv", FileAction::Open, QFileDevice::OpenError, FileProblem::NotFound},
        {"gone/missing.csv", FileAction::Open, QFileDevice::OpenError, FileProblem::FolderNotFound},
        {"folder", FileAction::Open, QFileDevice::OpenError, FileProblem::IsFolder},
        {"folder", FileAction::Write, QFileDevice::OpenError, FileProblem::IsFolder},
        {"file.csv/x.csv", FileAction::Write, QFileDevice::OpenError, FileProblem::FolderNotFound},
        {"new.csv", FileAction::Write, QFileDevice::ResourceError, FileProblem::DiskFull},
        {"file.csv", FileAction::Read, QFileDevice::ReadError, FileProblem::Failed},
    };
    for (const Case& c : cases) {
        const QString path = dir.filePath(QString::fromLatin1(c.path));
        EXPECT_EQ(findFileProblem(path, c.action, c.error), c.problem) << c.path;
    }
    EXPECT_EQ(fileErrorText(FileAction::Write, QStringLiteral("/d/new.csv"), FileProblem::DiskFull),
              QStringLiteral("ファイルに書き込めません: /d/new.csv（ディスクの空き容量が足りません）"));
    EXPECT_EQ(fileErrorText(FileAction::Read, QStringLiteral("/d/a.csv"), FileProblem::Failed),
              QStringLiteral("ファイルを読み込めません: /d/a.csv（入出力エラー）"));
}

}  // namespace
