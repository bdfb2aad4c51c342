#include "platform/Language.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QTranslator>
#include <QWidget>
#include <functional>
#include <vector>

namespace zelt {

namespace {

constexpr char kContext[] = "zelt";
const char kSource[] = "zeltCaptionSource";  // the text as the tool set it
const char kShown[] = "zeltCaptionShown";    // what it shows of it
const char kTitleSource[] = "zeltTitleSource";
const char kTitleShown[] = "zeltTitleShown";

Language gLanguage = Language::Japanese;

QTranslator& translator()
{
    static QTranslator t;
    return t;
}

bool isCaption(const QObject* o)
{
    return qobject_cast<const QAbstractButton*>(o) || qobject_cast<const QLabel*>(o) ||
           qobject_cast<const QGroupBox*>(o);
}

QString captionOf(const QObject* o)
{
    if (const auto* b = qobject_cast<const QAbstractButton*>(o))
        return b->text();
    if (const auto* l = qobject_cast<const QLabel*>(o))
        return l->text();
    if (const auto* g = qobject_cast<const QGroupBox*>(o))
        return g->title();
    return QString();
}

void setCaption(QObject* o, const QString& text)
{
    if (auto* b = qobject_cast<QAbstractButton*>(o))
        b->setText(text);
    else if (auto* l = qobject_cast<QLabel*>(o))
        l->setText(text);
    else if (auto* g = qobject_cast<QGroupBox*>(o))
        g->setTitle(text);
}

// Brings one text up to date: a text the tool has set since the last look
// becomes the source; what is shown is the source in the current language.
void refresh(QObject* o, const char* sourceKey, const char* shownKey, const QString& current,
             const std::function<void(const QString&)>& show)
{
    if (current != o->property(shownKey).toString() || !o->property(sourceKey).isValid())
        o->setProperty(sourceKey, current);
    const QString shown = translated(o->property(sourceKey).toString());
    o->setProperty(shownKey, shown);
    if (shown != current)
        show(shown);
}

void refreshCaption(QObject* o)
{
    refresh(o, kSource, kShown, captionOf(o), [o](const QString& t) { setCaption(o, t); });
}

void refreshTitle(QWidget* w)
{
    refresh(w, kTitleSource, kTitleShown, w->windowTitle(), [w](const QString& t) { w->setWindowTitle(t); });
}

class CaptionWatch : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // A caption the tool changed is looked at before it is painted; a
        // title when it changes. In Japanese every text is shown as it was
        // set, so paints pass untouched; a switch to English looks at every
        // caption of the windows anyway.
        if (gLanguage == Language::Japanese && event->type() != QEvent::ChildAdded)
            return false;
        if (event->type() == QEvent::Paint && isCaption(watched)) {
            if (captionOf(watched) != watched->property(kShown).toString())
                refreshCaption(watched);
        } else if (event->type() == QEvent::WindowTitleChange && watched->isWidgetType()) {
            auto* w = static_cast<QWidget*>(watched);
            if (w->windowTitle() != w->property(kTitleShown).toString())
                refreshTitle(w);
        } else if (event->type() == QEvent::ChildAdded) {
            // Whatever it turns out to be once made: captions are told at paint.
            if (QObject* child = static_cast<QChildEvent*>(event)->child(); child && child->isWidgetType())
                child->installEventFilter(this);
        }
        return false;
    }
};

CaptionWatch& watch()
{
    static CaptionWatch w;
    return w;
}

std::vector<QPointer<QWidget>>& windows()
{
    static std::vector<QPointer<QWidget>> list;
    return list;
}

void refreshWindow(QWidget* window)
{
    refreshTitle(window);
    for (QWidget* w : window->findChildren<QWidget*>())
        if (isCaption(w))
            refreshCaption(w);
}

}  // namespace

Language chooseLanguage(const QStringList& arguments, const QString& remembered, const QLocale& system)
{
    const qsizetype at = arguments.indexOf(QStringLiteral("--lang"));
    if (at >= 0 && at + 1 < arguments.size()) {
        const QString code = arguments.at(at + 1);
        if (code == QLatin1String("en"))
            return Language::English;
        if (code == QLatin1String("ja"))
            return Language::Japanese;
    }
    if (remembered == QLatin1String("en"))
        return Language::English;
    if (remembered == QLatin1String("ja"))
        return Language::Japanese;
    return system.language() == QLocale::English ? Language::English : Language::Japanese;
}

QString languageCode(Language language)
{
    return language == Language::English ? QStringLiteral("en") : QStringLiteral("ja");
}

void useLanguage(Language language)
{
    QCoreApplication::removeTranslator(&translator());
    gLanguage = Language::Japanese;
    if (language == Language::English && translator().load(QStringLiteral(":/i18n/zelt_en.qm"))) {
        QCoreApplication::installTranslator(&translator());
        gLanguage = Language::English;
    }
    for (const QPointer<QWidget>& w : windows())
        if (w)
            refreshWindow(w);
}

Language currentLanguage()
{
    return gLanguage;
}

QString translated(const QString& text)
{
    if (gLanguage == Language::Japanese || text.isEmpty())
        return text;
    return QCoreApplication::translate(kContext, text.toUtf8().constData());
}

void watchCaptions(QWidget* window)
{
    window->installEventFilter(&watch());
    // Every widget: captions for their paints, the others for captions
    // added to them later.
    for (QWidget* w : window->findChildren<QWidget*>())
        w->installEventFilter(&watch());
    windows().emplace_back(window);
    refreshWindow(window);
}

}  // namespace zelt
