// A line far longer than a recording's lines (a file without line ends) is
// shown cut in the log memo, with its full length, while its bytes stay
// whole in the data set and in a saved file.
#include "tests/AppFixture.h"

#include "platform/Cp932.h"
#include "platform/LogMemo.h"

#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zelt;
using namespace zelt::test;

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<cannot read>");
    return file.readAll();
}

void click(TForm1& f, QPushButton* button)
{
    ASSERT_TRUE(button->isVisible() && button->isEnabled()) << button->text().toStdString();
    ASSERT_TRUE(f.rect().contains(QRect(button->mapTo(&f, QPoint(0, 0)), button->size())));
    QTest::mouseClick(button, Qt::LeftButton);
}

// "時間", then ASCII up to the last byte before the cut, where a double-byte
// character begins whose second byte lies beyond it; then more text up to
// `size` bytes.
QByteArray longLine(qsizetype size)
{
    QByteArray line = toCp932(QStringLiteral("時間"));
    line += QByteArray(kShownLineBytes - 1 - line.size(), 'a');
    line += toCp932(QStringLiteral("分"));
    line += QByteArray(size - line.size(), 'b');
    return line;
}

QString cutText(qsizetype size)
{
    return QStringLiteral("時間") + QString(kShownLineBytes - 5, QLatin1Char('a')) + QStringLiteral("…（全%1バイト）").arg(
                                                                                       QLocale(QLocale::Japanese).toString(size));
}

TEST(LongLine, ShownCutButOpenedAndSavedWhole)
{
    AppFixture fx;
    TForm1& f = fx.start();
    f.show();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    const qsizetype size = 2 * 1024 * 1024;
    const QByteArray irregular("\x81" "024/06/24 09:00:01.000,  0,  0,  3, 21.4", 40);
    const QByteArray content = QByteArray("Start Year=2024 @1G=10\r\n") + longLine(size) + "\r\n" + irregular + "\r\n";
    const QString opened = dir.filePath(QStringLiteral("long.csv"));
    {
        QFile file(opened);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(content), content.size());
    }

    fx.dialogs.files.push_back(opened);
    click(f, f.Button11);  // FILE
    ASSERT_TRUE(fx.dialogs.messages.isEmpty()) << fx.dialogs.messages.join('|').toStdString();
    ASSERT_EQ(f.Memo1->count(), 3);
    EXPECT_EQ(f.Memo1->line(1), longLine(size));  // the data set holds the line whole

    // What the view shows: the short lines whole, the long one cut.
    LogMemo& memo = *f.Memo1;
    const auto shown = [&](int row) { return memo.model()->index(row, 0).data(Qt::DisplayRole).toString(); };
    EXPECT_EQ(shown(0), QStringLiteral("Start Year=2024 @1G=10"));
    const QString cut = shown(1);
    EXPECT_EQ(cut.size(), cutText(size).size());
    EXPECT_TRUE(cut == cutText(size)) << "shown: …" << cut.right(40).toStdString();
    EXPECT_EQ(shown(2), QString(QChar(0xFFFD)) + QString::fromLatin1(irregular.mid(1)));
    // The view measures the cut text, not the line.
    const int width = memo.sizeHintForIndex(memo.model()->index(1, 0)).width();
    EXPECT_GT(width, memo.fontMetrics().horizontalAdvance(QString(kShownLineBytes / 2, QLatin1Char('a'))));
    EXPECT_LT(width, memo.fontMetrics().horizontalAdvance(QString(2 * kShownLineBytes, QLatin1Char('a'))));

    const QString saved = dir.filePath(QStringLiteral("again.csv"));
    fx.dialogs.files.push_back(saved);
    click(f, f.Button6);  // 保存
    ASSERT_TRUE(fx.dialogs.messages.isEmpty()) << fx.dialogs.messages.join('|').toStdString();
    EXPECT_TRUE(fileBytes(saved) == content) << "the saved file differs from the opened one";
}

TEST(LongLine, ShownTextOfLinesAroundTheLimit)
{
    struct Case {
        const char* name;
        QByteArray line;
        QString shown;
    };
    const QString marker = QStringLiteral("…（全%1バイト）");
    const Case cases[] = {
        {"Short", toCp932(QStringLiteral("時間不整合")), QStringLiteral("時間不整合")},
        {"AtTheLimit", QByteArray(kShownLineBytes, 'x'), QString(kShownLineBytes, QLatin1Char('x'))},
        {"OneOver", QByteArray(kShownLineBytes + 1, 'x'),
         QString(kShownLineBytes, QLatin1Char('x')) + marker.arg(QStringLiteral("4,097"))},
        // A double-byte character that ends exactly at the limit stays.
        {"PairEndsAtTheLimit", QByteArray(kShownLineBytes - 2, 'x') + toCp932(QStringLiteral("分")) + "yy",
         QString(kShownLineBytes - 2, QLatin1Char('x')) + QStringLiteral("分") + marker.arg(QStringLiteral("4,098"))},
        // A lone 0x81 just before the limit is one shown (invalid) byte.
        {"LoneLeadByte", QByteArray(kShownLineBytes - 2, 'x') + "\x81" "0" + "zz",
         QString(kShownLineBytes - 2, QLatin1Char('x')) + QChar(0xFFFD) + QStringLiteral("0") +
             marker.arg(QStringLiteral("4,098"))},
    };
    for (const Case& c : cases)
        EXPECT_EQ(shownLineText(c.line), c.shown) << c.name;
}

}  // namespace
