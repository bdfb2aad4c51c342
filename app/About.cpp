#include "app/About.h"

#include "platform/Dialogs.h"
#include "platform/Language.h"
#include "shell/TForm1.h"
#include "ZeltVersion.h"

#include <QAction>
#include <QEvent>
#include <QKeySequence>
#include <QStringList>
#include <fftw3.h>

namespace zelt {

QString aboutText()
{
    return QStringList{
        QStringLiteral("ZELT-VIEW"),
        translated(QStringLiteral("バージョン %1")).arg(QString::fromLatin1(ZELT_VERSION)),
        translated(QStringLiteral("ライセンス: %1")).arg(QStringLiteral("GPL-3.0-or-later")),
        QStringLiteral("Qt %1").arg(QString::fromLatin1(qVersion())),
        QStringLiteral("FFTW %1").arg(QString::fromLatin1(fftw_version)),
    }.join(QLatin1Char('\n'));
}

AboutFeature::AboutFeature(TForm1& form) : QObject(&form), f_(form), action_(new QAction(&form))
{
    action_->setObjectName(QStringLiteral("AboutAction"));
    action_->setShortcut(QKeySequence(Qt::Key_F1));
    action_->setShortcutContext(Qt::WindowShortcut);
    f_.addAction(action_);
    f_.setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(action_, &QAction::triggered, this, [this] { f_.guard([&] { f_.dialogs().message(aboutText()); }); });
    retranslate();
    f_.installEventFilter(this);
}

void AboutFeature::retranslate()
{
    action_->setText(translated(QStringLiteral("バージョン情報")));
}

bool AboutFeature::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &f_ && event->type() == QEvent::LanguageChange)
        retranslate();
    return false;
}

}  // namespace zelt
