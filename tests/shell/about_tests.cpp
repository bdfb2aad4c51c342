// The About box as the user reaches it: F1 in the main window, or the main
// window's context menu. It names the version the build was given, the
// licence and the Qt and FFTW versions, in the windows' language, and sends
// the logger nothing.
#include "platform/Language.h"
#include "platform/PeriodicTimer.h"
#include "tests/AppFixture.h"
#include "ZeltVersion.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <fftw3.h>
#include <gtest/gtest.h>

using namespace zelt;
using namespace zelt::test;

namespace {

struct AboutWindow : LinkedTool {
    AboutWindow()
    {
        f->Timer1->setInterval(3600000);  // no tick during a test
        f->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(f));
        QApplication::setActiveWindow(f);
        EXPECT_TRUE(QTest::qWaitForWindowActive(f));
    }
    ~AboutWindow()
    {
        f->hide();
        useLanguage(Language::Japanese);
    }

    // A point of the main window with no control under it.
    QPoint freeSpace() const
    {
        for (int y = 4; y < f->height(); y += 4)
            for (int x = 4; x < f->width(); x += 4)
                if (!f->childAt(QPoint(x, y)))
                    return QPoint(x, y);
        return QPoint(-1, -1);
    }
};

QStringList expectedLines(const char* versionLine, const char* licenceLine)
{
    return {QStringLiteral("ZELT-VIEW"), QString::fromUtf8(versionLine).arg(QStringLiteral(ZELT_VERSION)),
            QString::fromUtf8(licenceLine), QStringLiteral("Qt %1").arg(QString::fromLatin1(qVersion())),
            QStringLiteral("FFTW %1").arg(QString::fromLatin1(fftw_version))};
}

TEST(About, F1ShowsVersionLicenceAndLibrariesInEitherLanguage)
{
    struct Case {
        Language language;
        const char* versionLine;
        const char* licenceLine;
    };
    for (const Case& c : {Case{Language::Japanese, "バージョン %1", "ライセンス: GPL-3.0-or-later"},
                          Case{Language::English, "Version %1", "Licence: GPL-3.0-or-later"}}) {
        AboutWindow w;
        useLanguage(c.language);
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : static_cast<QWidget*>(w.f),
                        Qt::Key_F1);
        ASSERT_TRUE(waitFor([&] { return !w.dialogs.messages.isEmpty(); })) << "no About box on F1";
        ASSERT_EQ(w.dialogs.messages.size(), 1);
        EXPECT_EQ(w.dialogs.messages.first().split(QLatin1Char('\n')), expectedLines(c.versionLine, c.licenceLine));
        EXPECT_TRUE(w.port.takeWritten().isEmpty()) << "the About box sent the logger something";
    }
}

TEST(About, MainWindowContextMenuOpensIt)
{
    AboutWindow w;
    const QPoint at = w.freeSpace();
    ASSERT_GE(at.x(), 0) << "the main window has no free space";
    // The menu runs its own loop: it is looked at and clicked from inside.
    QString shown;
    bool clicked = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QMenu* menu = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* m = qobject_cast<QMenu*>(top); m && m->isVisible())
                menu = m;
        if (!menu || clicked)
            return;
        for (QAction* a : menu->actions()) {
            if (!a->isVisible() || !a->isEnabled())
                continue;
            shown += a->text() + QLatin1Char(';');
            if (a->text() == QStringLiteral("バージョン情報")) {
                clicked = true;
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
                return;
            }
        }
        menu->close();
    });
    poll.start(20);
    QTest::mouseClick(w.f->windowHandle(), Qt::RightButton, {}, at);
    EXPECT_TRUE(waitFor([&] { return !w.dialogs.messages.isEmpty() || (!clicked && !shown.isEmpty()); }));
    EXPECT_TRUE(clicked) << "the menu showed: " << shown.toStdString();
    ASSERT_EQ(w.dialogs.messages.size(), 1);
    EXPECT_EQ(w.dialogs.messages.first().split(QLatin1Char('\n')),
              expectedLines("バージョン %1", "ライセンス: GPL-3.0-or-later"));
}

}  // namespace
