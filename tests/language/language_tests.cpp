// English beside Japanese, as a user meets it: the language the tool starts
// in, the box in the main window that switches it (and is remembered), every
// caption of every window with its English, and a CSV saved in English that
// is byte for byte the one saved in Japanese.
#include "platform/Language.h"
#include "tests/AppFixture.h"
#include "tests/SimulatedTool.h"
#include "tests/WaitFor.h"
#include "tests/data/DataTool.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

using namespace zelt;
using namespace zelt::test;

namespace {

TEST(Language, CommandLineThenTheUsersChoiceThenTheSystem)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    const QLocale german(QLocale::German, QLocale::Germany);
    struct Case {
        QStringList args;
        QString remembered;
        QLocale system;
        Language expected;
    };
    const Case cases[] = {
        {{}, {}, english, Language::English},
        {{}, {}, japanese, Language::Japanese},
        {{}, {}, german, Language::Japanese},  // Japanese is the default
        {{}, "ja", english, Language::Japanese},
        {{}, "en", japanese, Language::English},
        {{"zelt-view", "--lang", "en"}, "ja", japanese, Language::English},
        {{"zelt-view", "--lang", "ja"}, "en", english, Language::Japanese},
        {{"zelt-view", "--lang", "fr"}, "", english, Language::English},  // no such language: the next rule
        {{"zelt-view", "--lang"}, "", japanese, Language::Japanese},
    };
    for (const Case& c : cases)
        EXPECT_EQ(chooseLanguage(c.args, c.remembered, c.system), c.expected)
            << c.args.join(' ').toStdString() << " / " << c.remembered.toStdString() << " / "
            << c.system.name().toStdString();
}

// Every caption of the six windows whose text is Japanese: shown or not yet.
std::vector<std::pair<QString, QString>> japaneseCaptions(Application& app)
{
    std::vector<std::pair<QString, QString>> found;
    const auto japanese = [](const QString& t) {
        return std::any_of(t.begin(), t.end(), [](QChar c) { return c.unicode() >= 0x3000; });
    };
    const QList<QWidget*> windows = {&app.form1(), reinterpret_cast<QWidget*>(&app.form2()),
                                     reinterpret_cast<QWidget*>(&app.form3()), reinterpret_cast<QWidget*>(&app.form4()),
                                     reinterpret_cast<QWidget*>(&app.form5()), reinterpret_cast<QWidget*>(&app.form6())};
    for (QWidget* window : windows) {
        const QString title = window->property("zeltTitleSource").toString();
        if (japanese(title))
            found.emplace_back(window->objectName() + QStringLiteral(" title"), title);
        for (QWidget* w : window->findChildren<QWidget*>()) {
            if (!qobject_cast<QAbstractButton*>(w) && !qobject_cast<QLabel*>(w) && !qobject_cast<QGroupBox*>(w))
                continue;
            if (qobject_cast<QComboBox*>(w->parentWidget()))
                continue;
            const QString source = w->property("zeltCaptionSource").toString();
            if (japanese(source))
                found.emplace_back(w->objectName(), source);
        }
    }
    return found;
}

TEST(Language, EveryJapaneseCaptionOfEveryWindowHasItsEnglish)
{
    AppFixture t;
    t.arguments = {"zelt-view", "--lang", "en"};
    t.start();
    ASSERT_EQ(currentLanguage(), Language::English) << "the translation did not load";
    QStringList missing;
    const auto captions = japaneseCaptions(*t.app);
    ASSERT_GT(captions.size(), 20u);
    for (const auto& [name, source] : captions)
        if (translated(source) == source)
            missing << name + QStringLiteral(": ") + source;
    // The messages of the dialogs and their buttons too.
    for (const char* text : {"時間不整合", "データ数不具合", "はい(&Y)", "いいえ(&N)",
                             "オンラインデータ取得します。秒数を指定してください"})
        if (translated(QString::fromUtf8(text)) == QString::fromUtf8(text))
            missing << QStringLiteral("message: ") + QString::fromUtf8(text);
    missing.removeDuplicates();
    EXPECT_TRUE(missing.isEmpty()) << "no English in i18n/zelt_en.ts for:\n" << missing.join('\n').toStdString();
}

TEST(Language, TheBoxInTheMainWindowSwitchesTheCaptionsAndIsRemembered)
{
    AppFixture t;
    TForm1& f = t.start();
    f.show();
    QComboBox* box = t.app->languageBox;
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    // Reachable: shown, enabled, inside the window at the size it opens at.
    ASSERT_TRUE(box->isVisible() && box->isEnabled());
    EXPECT_TRUE(f.rect().contains(box->geometry())) << box->geometry().x() << "," << box->geometry().y();
    EXPECT_EQ(box->currentText(), QStringLiteral("日本語"));
    EXPECT_EQ(f.Button30->text(), QStringLiteral("取得"));
    EXPECT_EQ(f.Button12->text(), QStringLiteral("グラフ"));

    // The user picks English: a click opens the list, a key moves, Enter takes it.
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Down);
    QTest::qWait(0);
    EXPECT_EQ(box->currentText(), QStringLiteral("English"));
    EXPECT_EQ(currentLanguage(), Language::English);
    EXPECT_EQ(f.Button30->text(), QStringLiteral("Get"));
    EXPECT_EQ(f.Button12->text(), QStringLiteral("Graph"));
    EXPECT_EQ(f.Button6->text(), QStringLiteral("Save"));
    EXPECT_EQ(t.preferences.value(QString::fromLatin1(kLanguagePreference), QString()), QStringLiteral("en"));

    // A caption the tool changes while it runs is shown in English too.
    f.Button4->setText(QStringLiteral("接続"));
    f.Button4->repaint();
    EXPECT_EQ(f.Button4->text(), QStringLiteral("Connected"));

    // The next start remembers it.
    TForm1& again = t.start();
    EXPECT_EQ(t.app->languageBox->currentText(), QStringLiteral("English"));
    EXPECT_EQ(again.Button30->text(), QStringLiteral("Get"));

    // And back: the Japanese of the tool, exactly.
    again.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&again));
    t.app->languageBox->setFocus();
    QTest::keyClick(t.app->languageBox, Qt::Key_Up);
    EXPECT_EQ(currentLanguage(), Language::Japanese);
    EXPECT_EQ(again.Button30->text(), QStringLiteral("取得"));
    EXPECT_EQ(again.Button6->text(), QStringLiteral("保存"));
    EXPECT_EQ(t.preferences.value(QString::fromLatin1(kLanguagePreference), QString()), QStringLiteral("ja"));
}

// Downloads the simulated logger's recording and saves it through 保存.
QByteArray downloadAndSave(const QStringList& arguments, const QString& path)
{
    SimulatedTool tool(87);
    tool.arguments = arguments;
    EXPECT_TRUE(tool.plugIn().empty());
    TForm1& f = tool.startTool();
    if (!waitForCondition([&] { return tool.idle() && f.loggerReady == 1; }, 15000))
        return "no link";
    f.Button30->click();
    if (!waitForCondition([&] { return f.downloadActive == 0 && tool.idle(); }, 30000))
        return "no download";
    tool.dialogs.files.push_back(path);
    f.Button6->click();
    return fileBytes(path + QStringLiteral(".csv"));
}

TEST(Language, ARecordingSavedInEnglishIsTheSameBytesAsInJapanese)
{
    PlainTempDir dir;
    ASSERT_TRUE(dir.usable());
    const QByteArray japanese = downloadAndSave({"zelt-view", "--lang", "ja"}, dir.path(QStringLiteral("ja")));
    const QByteArray english = downloadAndSave({"zelt-view", "--lang", "en"}, dir.path(QStringLiteral("en")));
    ASSERT_TRUE(japanese.startsWith("Start Year=")) << japanese.left(80).toStdString();
    EXPECT_TRUE(english == japanese) << english.left(200).toStdString();
}

}  // namespace
