// Files as the main window meets them beyond ordinary files: the file
// dialogs start in the folder last used (also after a restart); 保存 never
// replaces a pipe or a device and names a full disk; FILE refuses a pipe at
// once; a large file opens with progress and can be cancelled, and one whose
// lines would take more than twice its size in memory is refused with the
// reason.
#include "tests/AppFixture.h"

#include "firmware/Firmware.h"
#include "platform/FileErrors.h"
#include "platform/Language.h"
#include "platform/LineFiles.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

using namespace zelt;
using namespace zelt::test;

namespace {

const std::vector<QByteArray> kEarlierLines = {
    "Start Year=2024 @1G=10",
    "date time,x(G),y(G),z(G),temperature(C)",
    "2024/06/24 09:00:00.000,  2, -1,  3, 21.3",
};

QByteArray withCrLf(const std::vector<QByteArray>& lines)
{
    QByteArray out;
    for (const QByteArray& l : lines)
        out += l + "\r\n";
    return out;
}

struct FileTool : AppFixture {
    TForm1* f = nullptr;
    QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/zeltkinds-XXXXXX")};

    explicit FileTool(const std::map<QString, QString>& remembered = {})
    {
        preferences.values = remembered;
        f = &start();
        f->Memo1->setLines(kEarlierLines);
        f->currentFileName = QStringLiteral("02042");
        f->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(f));
    }
    QString path(const QString& name) const { return dir.path() + QLatin1Char('/') + name; }
    void click(QPushButton* button)
    {
        ASSERT_TRUE(button->isVisible() && button->isEnabled()) << button->text().toStdString();
        QTest::mouseClick(button, Qt::LeftButton);
    }
    void save(const QString& chosen)
    {
        dialogs.files.push_back(chosen);
        click(f->Button6);  // 保存
    }
    void open(const QString& chosen)
    {
        dialogs.files.push_back(chosen);
        click(f->Button11);  // FILE
    }
};

QPushButton* firmwareFeatureButton(TForm1& f)
{
    for (QObject* o : f.children())
        if (auto* p = dynamic_cast<FirmwareFeature*>(o))
            return p->hexFileButton;
    return nullptr;
}

bool isFifo(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
}

// ---------------------------------------------------------------------------
// The folder last used.

TEST(FolderLastUsed, EveryFileDialogStartsThereAlsoAfterARestart)
{
    QTemporaryDir data, firmware;
    std::map<QString, QString> remembered;
    {
        FileTool t;
        // Nothing chosen yet: the dialogs start where they always did.
        t.dialogs.files.push_back(std::nullopt);
        t.click(t.f->Button6);
        ASSERT_EQ(t.dialogs.fileRequests.size(), 1u);
        EXPECT_EQ(t.dialogs.fileRequests[0].folder, QString());

        // A recording opened from one folder: 保存 and SAV start there.
        const QString recording = data.filePath(QStringLiteral("rec.csv"));
        QFile file(recording);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(withCrLf(kEarlierLines));
        file.close();
        t.open(recording);
        ASSERT_TRUE(t.dialogs.messages.isEmpty()) << t.dialogs.messages.join('|').toStdString();
        t.dialogs.files.push_back(std::nullopt);
        t.click(t.f->Button6);
        t.dialogs.files.push_back(std::nullopt);
        t.click(t.f->Button27);  // SAV
        ASSERT_EQ(t.dialogs.fileRequests.size(), 4u);
        EXPECT_EQ(t.dialogs.fileRequests[2].folder, data.path());
        EXPECT_EQ(t.dialogs.fileRequests[2].fileName, QStringLiteral("ZELT00"));
        EXPECT_EQ(t.dialogs.fileRequests[3].folder, data.path());

        // A save into another folder moves the memory there; HEX... starts there.
        t.save(firmware.filePath(QStringLiteral("copy.csv")));
        t.dialogs.files.push_back(std::nullopt);
        t.click(firmwareFeatureButton(*t.f));
        EXPECT_EQ(t.dialogs.fileRequests.back().folder, firmware.path());
        remembered = t.preferences.values;
    }
    // The tool started again with what it remembered.
    FileTool again(remembered);
    again.dialogs.files.push_back(std::nullopt);
    again.click(again.f->Button11);
    ASSERT_EQ(again.dialogs.fileRequests.size(), 1u);
    EXPECT_EQ(again.dialogs.fileRequests[0].folder, firmware.path());
}

// The real dialog shows the remembered folder.
TEST(FolderLastUsed, TheDialogShowsTheFolder)
{
    QTemporaryDir folder;
    MemoryPreferences preferences;
    preferences.values[QString::fromLatin1(kLastFolderPreference)] = folder.path();
    QtDialogs real;
    FolderMemoryDialogs dialogs(real, &preferences);
    QString shown;
    QTimer poll;
    QElapsedTimer since;
    since.start();
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) {
            if (since.elapsed() > 20000 && QApplication::activeModalWidget())
                QApplication::activeModalWidget()->close();
            return;
        }
        poll.stop();
        shown = dialog->directory().absolutePath();
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    poll.start(10);
    FileRequest request;
    request.filter = QStringLiteral("text|*.csv");
    request.fileName = QStringLiteral("ZELT00");
    EXPECT_FALSE(dialogs.openFile(request));
    EXPECT_EQ(shown, QDir(folder.path()).absolutePath());
}

// ---------------------------------------------------------------------------
// 保存 on what is not an ordinary file.

TEST(SaveTarget, APipeIsWrittenNotReplaced)
{
    FileTool t;
    const QString fifo = t.path(QStringLiteral("pipe.csv"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // The reader's end is open before the save: a program reading the pipe.
    const int fd = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    const QByteArray expected = withCrLf(kEarlierLines);
    QByteArray received;
    std::thread reader([&] {
        QElapsedTimer since;
        since.start();
        while (received.size() < expected.size() && since.elapsed() < 20000) {
            pollfd p{fd, POLLIN, 0};
            ::poll(&p, 1, 50);
            char buf[4096];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0)
                received.append(buf, n);
        }
    });
    t.save(fifo);
    reader.join();
    ::close(fd);
    EXPECT_TRUE(t.dialogs.messages.isEmpty()) << t.dialogs.messages.join('|').toStdString();
    EXPECT_EQ(received, withCrLf(kEarlierLines));
    EXPECT_TRUE(isFifo(fifo));
}

TEST(SaveTarget, APipeThatNobodyReadsIsNamedAtOnce)
{
    for (const Language language : {Language::Japanese, Language::English}) {
        FileTool t;
        useLanguage(language);
        const QString fifo = t.path(QStringLiteral("pipe.csv"));
        ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        t.save(fifo);
        const QString expected = language == Language::Japanese
                                     ? QStringLiteral("ファイルに書き込めません: %1（パイプを読むプログラムがありません）").arg(fifo)
                                     : QStringLiteral("Cannot write the file: %1 (no program reads from the pipe)").arg(fifo);
        EXPECT_EQ(t.dialogs.messages, QStringList{expected});
        EXPECT_TRUE(isFifo(fifo));
        useLanguage(Language::Japanese);
    }
}

// A device that is full (a copy of /dev/full's node, so that nothing of the
// system's is at stake): the full disk is named, in the user's language, and
// the node stays a device.
TEST(SaveTarget, AFullDeviceIsNamedAsSuchAndStaysADevice)
{
    for (const Language language : {Language::Japanese, Language::English}) {
        FileTool t;
        const QString device = t.path(QStringLiteral("full.csv"));  // 保存 adds ".csv" to a name without one
        if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 7)) != 0)
            GTEST_SKIP() << "no right to make a device node here";
        useLanguage(language);
        t.save(device);
        const QString expected = language == Language::Japanese
                                     ? QStringLiteral("ファイルに書き込めません: %1（ディスクの空き容量が足りません）").arg(device)
                                     : QStringLiteral("Cannot write the file: %1 (disk full)").arg(device);
        EXPECT_EQ(t.dialogs.messages, QStringList{expected});
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(device).constData(), &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode));
        useLanguage(Language::Japanese);
    }
}

TEST(OpenTarget, APipeIsRefusedWithoutWaiting)
{
    FileTool t;
    const QString fifo = t.path(QStringLiteral("pipe.csv"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    t.open(fifo);
    EXPECT_EQ(t.dialogs.messages,
              QStringList{QStringLiteral("ファイルを開けません: %1（通常のファイルではありません）").arg(fifo)});
    EXPECT_EQ(t.f->Memo1->lines(), kEarlierLines);
}

// ---------------------------------------------------------------------------
// Large files.

QString writeRecording(const QString& path, int records)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("Start Year=2024 @1G=10\r\ndate time,x(G),y(G),z(G),temperature(C)\r\n");
    const QByteArray line = "2024/06/24 09:00:00.000,  2, -1,  3, 21.3\r\n";
    QByteArray block;
    for (int i = 0; i < 1000; ++i)
        block += line;
    for (int i = 0; i < records / 1000; ++i)
        file.write(block);
    return path;
}

TEST(LargeFile, OpensWithProgressAndCanBeCancelled)
{
    FileTool t;
    const QString big = writeRecording(t.path(QStringLiteral("big.csv")), 600000);  // about 25 MB
    QString label;
    int valueSeen = -1;
    bool clicked = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* progress = t.f->findChild<QProgressDialog*>(QStringLiteral("fileProgress"));
        if (clicked || !progress || !progress->isVisible())
            return;
        label = progress->labelText();
        valueSeen = progress->value();
        auto* cancel = progress->findChild<QPushButton*>();
        if (!cancel || !cancel->isVisible())
            return;
        clicked = true;
        QTest::mouseClick(cancel, Qt::LeftButton);
    });
    poll.start(1);
    t.open(big);
    poll.stop();
    ASSERT_TRUE(clicked) << "no progress dialog with a cancel button came";
    EXPECT_TRUE(label.contains(QStringLiteral("ファイルを読み込んでいます"))) << label.toStdString();
    EXPECT_TRUE(label.contains(big)) << label.toStdString();
    EXPECT_GE(valueSeen, 0);
    // Cancelled: the memo, the data set's name and the dialog's last file as before.
    EXPECT_EQ(t.f->Memo1->lines(), kEarlierLines);
    EXPECT_EQ(t.f->currentFileName, QString());
    EXPECT_TRUE(t.dialogs.messages.isEmpty()) << t.dialogs.messages.join('|').toStdString();
    EXPECT_FALSE(t.f->findChild<QProgressDialog*>(QStringLiteral("fileProgress")));

    // Not cancelled, the same file opens whole, and the dialog is gone.
    t.open(big);
    EXPECT_EQ(t.f->Memo1->count(), 600002);
    EXPECT_EQ(t.f->currentFileName, big);
}

TEST(LargeFile, LinesThatWouldTakeMoreThanTwiceTheFileAreRefusedSayingWhy)
{
    FileTool t;
    const QString empty = t.path(QStringLiteral("empty-lines.csv"));
    {
        QFile file(empty);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(6 * 1024 * 1024, '\n'));
    }
    t.dialogs.answers.push_back(true);  // it is no recording: load it anyway
    t.open(empty);
    ASSERT_EQ(t.dialogs.messages.size(), 1);
    const QString& said = t.dialogs.messages.front();
    EXPECT_TRUE(said.startsWith(QStringLiteral("ファイルを開けません: %1（6,291,456 行あり、読み込むには ").arg(empty)))
        << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("MB のメモリが要ります（この大きさのファイルでは 12 MB まで）")))
        << said.toStdString();
    EXPECT_EQ(t.f->Memo1->lines(), kEarlierLines);
}

// The memory the lines take, for files of every shape: within twice the
// file, and as measured before reading.
TEST(LargeFile, ReadLinesStayWithinTwiceTheFile)
{
    QTemporaryDir dir;
    struct Case {
        const char* name;
        QByteArray content;
    };
    QByteArray mixed;
    for (int i = 0; i < 200; ++i)
        mixed += QByteArray(20000 + i, 'x') + "\r\n" + QByteArray(30, 'y') + "\n\r";
    QByteArray recording;
    for (int i = 0; i < 200000; ++i)
        recording += "2024/06/24 09:00:00.000,  2, -1,  3, 21.3\r\n";
    const Case cases[] = {
        {"one line of 20 MB", QByteArray(20 * 1024 * 1024, 'a')},
        {"one line of 20 MB with its line end", QByteArray(20 * 1024 * 1024, 'a') + "\r\n"},
        {"a recording", recording},
        {"long and short lines", mixed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QStringLiteral("f.csv"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.content);
        file.close();
        const std::optional<ByteLines> lines = readLinesFile(path);
        ASSERT_TRUE(lines);
        EXPECT_EQ(lines->toVector(), splitLines(c.content));
        EXPECT_LE(lines->allocatedBytes(), 2 * c.content.size());
        LineCounter counter;
        counter.feed(c.content);
        counter.finish();
        EXPECT_LE(lines->allocatedBytes(), counter.footprint().bytes() + 64 * 1024);
    }
}

// The measuring pass cuts lines exactly as the reading pass does, however
// the text falls into pieces.
TEST(LargeFile, TheCounterCutsAsTheSplitterDoes)
{
    QRandomGenerator random(7);
    const char alphabet[] = {'a', '\r', '\n', 'b', '\r', '\n', 'c'};
    for (int round = 0; round < 300; ++round) {
        QByteArray text;
        const int n = random.bounded(200);
        for (int i = 0; i < n; ++i)
            text += alphabet[random.bounded(7)];
        if (round % 10 == 0)
            text += QByteArray(20000, 'L');  // a long line too
        ByteLines lines;
        LineSplitter splitter(lines);
        LineCounter counter;
        for (qsizetype at = 0; at < text.size();) {
            const qsizetype piece = std::min<qsizetype>(1 + random.bounded(40), text.size() - at);
            splitter.feed(QByteArrayView(text).sliced(at, piece));
            counter.feed(QByteArrayView(text).sliced(at, piece));
            at += piece;
        }
        splitter.finish();
        counter.finish();
        ASSERT_EQ(counter.footprint().lines(), lines.size()) << text.toHex().toStdString();
        ASSERT_EQ(lines.toVector(), splitLines(text));
    }
}

}  // namespace
