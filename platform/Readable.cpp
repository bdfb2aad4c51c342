#include "platform/Readable.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QStyle>
#include <QTextDocument>
#include <QVariant>
#include <algorithm>
#include <cmath>
#include <vector>

namespace zelt {

double relativeLuminance(const QColor& colour)
{
    const QColor c = colour.toRgb();
    const auto channel = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = relativeLuminance(a), lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool isDarkBackground(const QColor& background)
{
    return contrastRatio(background, Qt::white) > contrastRatio(background, Qt::black);
}

QColor mixColours(const QColor& a, const QColor& b, double t)
{
    const QColor x = a.toRgb(), y = b.toRgb();
    const auto mix = [t](double p, double q) { return p + (q - p) * t; };
    return QColor::fromRgbF(static_cast<float>(mix(x.redF(), y.redF())), static_cast<float>(mix(x.greenF(), y.greenF())),
                            static_cast<float>(mix(x.blueF(), y.blueF())), static_cast<float>(x.alphaF()));
}

QColor readableOn(const QColor& colour, const QColor& background, double ratio)
{
    if (contrastRatio(colour, background) >= ratio)
        return colour;
    const QColor pole = isDarkBackground(background) ? QColor(Qt::white) : QColor(Qt::black);
    // Screens show 8 bits a channel: the colour is judged as it is shown.
    const auto shown = [&](double t) { return QColor::fromRgb(mixColours(colour, pole, t).rgba()); };
    // The contrast grows steadily on the way to the pole: halve the step.
    double lo = 0, hi = 1;
    for (int i = 0; i < 16; ++i) {
        const double mid = (lo + hi) / 2;
        if (contrastRatio(shown(mid), background) >= ratio)
            hi = mid;
        else
            lo = mid;
    }
    const QColor result = shown(hi);
    return contrastRatio(result, background) >= ratio ? result : pole;
}

namespace {

class ReadableText : public QObject {
public:
    ReadableText(QLabel* label, const QColor& colour) : QObject(label), label_(label), colour_(colour)
    {
        label->installEventFilter(this);
        apply();
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == label_ && (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange ||
                                  event->type() == QEvent::ParentChange))
            apply();
        return false;
    }

private:
    void apply()
    {
        // The label paints no background of its own: what is under its text
        // is its parent's.
        const QWidget* under = label_->autoFillBackground() || !label_->parentWidget() ? label_ : label_->parentWidget();
        const QColor wanted = readableOn(colour_, under->palette().color(under->backgroundRole()), kTextContrast);
        if (label_->palette().color(QPalette::WindowText) == wanted)
            return;
        QPalette palette = label_->palette();
        palette.setColor(QPalette::WindowText, wanted);
        label_->setPalette(palette);
    }

    QLabel* label_;
    QColor colour_;
};

// ---- labels that fit their text

const char kDesignRect[] = "zeltDesignRect";  // the place the window's layout gave
const char kFittedRect[] = "zeltFittedRect";  // the place the fitting gave
const char kFitTip[] = "zeltFitTip";          // the tooltip the fitting set
const char kBaseTip[] = "zeltBaseTip";        // the tooltip the window gave the label
const char kOwnFont[] = "zeltOwnFont";        // the font the window gave the label, if any
const char kShrunk[] = "zeltShrunk";          // the fitting made the font smaller

bool fitsAsPlainText(const QLabel* label)
{
    if (label->text().isEmpty() || label->isWindow())
        return false;
    const Qt::TextFormat format = label->textFormat();
    return format == Qt::PlainText || (format == Qt::AutoText && !Qt::mightBeRichText(label->text()));
}

// Where the label draws its text, in its own coordinates.
QRect textArea(const QLabel* label)
{
    QRect area = label->contentsRect();
    const int margin = label->margin();
    area.adjust(margin, margin, -margin, -margin);
    int indent = label->indent();
    if (indent < 0 && label->frameWidth() > 0)
        indent = label->fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2;
    if (indent > 0) {
        const Qt::Alignment align = QStyle::visualAlignment(label->layoutDirection(), label->alignment());
        if (align & Qt::AlignLeft)
            area.setLeft(area.left() + indent);
        if (align & Qt::AlignRight)
            area.setRight(area.right() - indent);
        if (align & Qt::AlignTop)
            area.setTop(area.top() + indent);
        if (align & Qt::AlignBottom)
            area.setBottom(area.bottom() - indent);
    }
    return area;
}

QSize textSize(const QLabel* label, const QFontMetrics& metrics)
{
    return metrics.boundingRect(QRect(0, 0, 100000, 100000), Qt::AlignLeft | Qt::AlignTop, label->text()).size();
}

// The height a label needs for the ink of its text: a line of text is
// centred in the label by its whole line height (which holds room for
// accents and descenders the text may not have), so what must fit is the
// ink as it then stands. Several lines, or another vertical alignment: the
// whole line height.
int heightNeeded(const QLabel* label, const QFontMetrics& metrics)
{
    const QString text = label->text();
    if (text.contains(QLatin1Char('\n')) || !(label->alignment() & Qt::AlignVCenter))
        return textSize(label, metrics).height();
    const QRect ink = metrics.tightBoundingRect(text);
    const int lineHeight = metrics.height();
    const int above = metrics.ascent() + ink.top();         // ink top below the line's top
    const int below = metrics.ascent() + ink.bottom() + 1;  // ink end below the line's top
    return std::max({lineHeight - 2 * above, 2 * below - lineHeight, ink.height()}) + 1;
}

// ---- buttons that fit their caption

// The button's look as it paints itself, with the caption given.
QStyleOptionButton buttonOption(const QPushButton* button, const QString& text)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.features = QStyleOptionButton::None;
    if (button->isFlat())
        option.features |= QStyleOptionButton::Flat;
    if (button->menu())
        option.features |= QStyleOptionButton::HasMenu;
    if (button->autoDefault())
        option.features |= QStyleOptionButton::AutoDefaultButton;
    if (button->isDefault())
        option.features |= QStyleOptionButton::DefaultButton;
    if (button->isDown())
        option.state |= QStyle::State_Sunken;
    if (button->isChecked())
        option.state |= QStyle::State_On;
    if (!button->isFlat() && !button->isDown())
        option.state |= QStyle::State_Raised;
    option.text = text;
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    return option;
}

bool fitsAsCaption(const QPushButton* button)
{
    return !button->text().isEmpty() && button->icon().isNull() && !button->isWindow();
}

// Where the button writes its caption, in its own coordinates.
QRect captionArea(const QPushButton* button)
{
    const QStyleOptionButton option = buttonOption(button, button->text());
    return button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
}

int captionWidth(const QPushButton* button, const QFontMetrics& metrics)
{
    return metrics.size(Qt::TextShowMnemonic, button->text()).width();
}

bool captionCut(const QPushButton* button)
{
    return fitsAsCaption(button) && captionWidth(button, button->fontMetrics()) > captionArea(button).width();
}

// A caption wider than its button, painted elided (the button keeps its
// caption as its text: only what is drawn is shortened).
bool paintElidedCaption(QPushButton* button)
{
    if (!captionCut(button))
        return false;
    const int room = captionArea(button).width();
    const QString shown = button->fontMetrics().elidedText(button->text(), Qt::ElideRight, room, Qt::TextShowMnemonic);
    QStylePainter painter(button);
    painter.drawControl(QStyle::CE_PushButton, buttonOption(button, shown));
    return true;
}

class LabelFitter : public QObject {
public:
    explicit LabelFitter(QWidget* window) : QObject(window), window_(window)
    {
        window->installEventFilter(this);
        for (QWidget* w : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (qobject_cast<QLabel*>(w) || qobject_cast<QPushButton*>(w))
                w->installEventFilter(this);
        fitAll();
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == window_) {
            switch (event->type()) {
            case QEvent::Show:
            case QEvent::Resize:
            case QEvent::LayoutRequest:
            case QEvent::FontChange:
            case QEvent::ApplicationFontChange:
            case QEvent::StyleChange:
                fitAll();
                break;
            case QEvent::ChildAdded: {
                QObject* child = static_cast<QChildEvent*>(event)->child();
                if (qobject_cast<QLabel*>(child) || qobject_cast<QPushButton*>(child))
                    child->installEventFilter(this);
                break;
            }
            default:
                break;
            }
            return false;
        }
        if (auto* button = qobject_cast<QPushButton*>(watched)) {
            if (event->type() == QEvent::FontChange || event->type() == QEvent::Show)
                fitAll();
            if (event->type() == QEvent::Paint)
                return paintElidedCaption(button);
            return false;
        }
        auto* label = qobject_cast<QLabel*>(watched);
        if (!label)
            return false;
        if (event->type() == QEvent::FontChange || event->type() == QEvent::Show)
            fitAll();
        if (event->type() == QEvent::Paint && fitsAsPlainText(label))
            return paintElided(label);
        return false;
    }

private:
    static QRect designRect(const QWidget* w)
    {
        const QVariant design = w->property(kDesignRect);
        const QVariant fitted = w->property(kFittedRect);
        // Moved or resized by the window since the last fitting: that is
        // its place now.
        if (!design.isValid() || fitted.toRect() != w->geometry())
            return w->geometry();
        return design.toRect();
    }

    void fitAll()
    {
        if (fitting_ || !window_)
            return;
        fitting_ = true;
        const QList<QWidget*> children = window_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        std::vector<std::pair<QWidget*, QRect>> places;
        for (QWidget* w : children)
            if (!w->isWindow())
                places.emplace_back(w, designRect(w));
        // Buttons first: each grows only into room no other control holds,
        // and the labels then see the buttons where they stand.
        for (auto& [w, place] : places) {
            auto* button = qobject_cast<QPushButton*>(w);
            if (!button)
                continue;
            const QRect design = place;
            button->setProperty(kDesignRect, design);
            if (fitsAsCaption(button) && !button->isHidden())
                place = fitButton(button, design, places);
            if (button->geometry() != place)
                button->setGeometry(place);
            button->setProperty(kFittedRect, place);
            showWholeInTip(button, button->text(), captionCut(button));
        }
        for (const auto& [w, design] : places) {
            auto* label = qobject_cast<QLabel*>(w);
            if (!label)
                continue;
            label->setProperty(kDesignRect, design);
            QRect place = design;
            if (fitsAsPlainText(label) && !label->isHidden())
                place = fitWithFont(label, design, places);
            if (label->geometry() != place)
                label->setGeometry(place);
            label->setProperty(kFittedRect, place);
            showWholeInTip(label, label->text(),
                           fitsAsPlainText(label) && textSize(label, label->fontMetrics()).width() > textArea(label).width());
        }
        fitting_ = false;
    }

    // Elided text is whole in the tooltip, above what the window's own
    // tooltip for the control says.
    static void showWholeInTip(QWidget* w, const QString& text, bool elided)
    {
        const QString setTip = w->property(kFitTip).toString();
        if (setTip.isEmpty() || w->toolTip() != setTip)
            w->setProperty(kBaseTip, w->toolTip());  // the window's own, set since
        const QString baseTip = w->property(kBaseTip).toString();
        if (elided) {
            const QString tip = baseTip.isEmpty() || baseTip == text ? text : text + QLatin1Char('\n') + baseTip;
            w->setToolTip(tip);
            w->setProperty(kFitTip, tip);
        } else if (!setTip.isEmpty()) {
            if (w->toolTip() == setTip)
                w->setToolTip(baseTip);
            w->setProperty(kFitTip, QVariant());
        }
    }

    // A button whose caption is wider than its place grows, on both sides
    // as its caption is centred, into the room beside it that no other
    // control of the window holds (up to the window's edge); what still
    // does not fit is painted elided.
    QRect fitButton(QPushButton* button, const QRect& design, const std::vector<std::pair<QWidget*, QRect>>& places) const
    {
        // The frame and margins the style keeps around the caption, and a
        // little air so that the caption does not touch them.
        const int chrome = button->width() - captionArea(button).width();
        const int air = 2 * button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) / 3;
        const int wantW = captionWidth(button, button->fontMetrics()) + chrome + air;
        if (wantW <= design.width())
            return design;
        int left = 0, right = window_->width();  // right: one past the last column it may take
        for (const auto& [w, o] : places) {
            if (w == button || o.intersects(design) || o.contains(design) || o.top() > design.bottom() ||
                o.bottom() < design.top())
                continue;
            if (o.left() > design.right())
                right = std::min(right, o.left() - 2);
            if (o.right() < design.left())
                left = std::max(left, o.right() + 3);
        }
        const int roomLeft = std::max(0, design.left() - left);
        const int roomRight = std::max(0, right - 1 - design.right());
        const int grow = wantW - design.width();
        // Evenly where both sides have room, else more on the side that has.
        int toLeft = std::min((grow + 1) / 2, roomLeft);
        int toRight = std::min(grow - toLeft, roomRight);
        toLeft = std::min(grow - toRight, roomLeft);
        return design.adjusted(-toLeft, 0, toRight, 0);
    }

    // The label in the font the window gave it; where no room around it
    // is tall enough for that, in the largest font down to 60 % of it that
    // fits (a line squeezed between rows of controls or the window's edge).
    // The font is set only when it changes: a new font asks the window to
    // lay the label out again.
    QRect fitWithFont(QLabel* label, const QRect& design, const std::vector<std::pair<QWidget*, QRect>>& places) const
    {
        if (!label->property(kOwnFont).isValid())
            label->setProperty(kOwnFont, label->testAttribute(Qt::WA_SetFont) ? QVariant(label->font()) : QVariant(QString()));
        const QVariant own = label->property(kOwnFont);
        const QFont inherited = label->parentWidget() ? label->parentWidget()->font() : QApplication::font();
        const QFont full = own.typeId() == QMetaType::QFont ? own.value<QFont>().resolve(inherited) : inherited;
        const int chrome = label->height() - textArea(label).height();
        QFont chosen = full;
        QRect place = fit(label, design, places, QFontMetrics(full));
        const double size = full.pointSizeF() > 0 ? full.pointSizeF() : full.pixelSize();
        for (int step = 1; step <= 8 && heightNeeded(label, QFontMetrics(chosen)) > place.height() - chrome; ++step) {
            chosen = full;
            if (full.pointSizeF() > 0)
                chosen.setPointSizeF(size * (1 - 0.05 * step));
            else
                chosen.setPixelSize(std::max(1, int(size * (1 - 0.05 * step))));
            place = fit(label, design, places, QFontMetrics(chosen));
        }
        const bool shrunk = !(chosen == full);
        if (shrunk && !(label->font() == chosen)) {
            label->setFont(chosen);
        } else if (!shrunk && label->property(kShrunk).toBool()) {
            label->setFont(own.typeId() == QMetaType::QFont ? own.value<QFont>() : QFont());
        }
        label->setProperty(kShrunk, shrunk);
        return place;
    }

    QRect fit(QLabel* label, const QRect& design, const std::vector<std::pair<QWidget*, QRect>>& places,
              const QFontMetrics& metrics) const
    {
        const QSize text = textSize(label, metrics);
        const int wantW = text.width() + (label->width() - textArea(label).width()) + 1;
        const int wantH = std::max(heightNeeded(label, metrics), 1) + (label->height() - textArea(label).height());
        QRect r = design;
        const int windowW = window_->width(), windowH = window_->height();
        // The others that may stand beside it: every control of the window
        // that does not share its place.
        std::vector<std::pair<bool, QRect>> others;  // (is a label, place)
        for (const auto& [w, place] : places)
            if (w != label && !place.intersects(design) && !place.contains(design))
                others.emplace_back(qobject_cast<QLabel*>(w) != nullptr, place);
        const Qt::Alignment align = QStyle::visualAlignment(label->layoutDirection(), label->alignment());
        if (wantW > r.width()) {
            int right = windowW;  // one past the last column it may take
            int left = 0;
            for (const auto& [isLabel, o] : others) {
                if (o.top() > design.bottom() || o.bottom() < design.top())
                    continue;
                if (o.left() > design.right())
                    right = std::min(right, isLabel ? (design.right() + 1 + o.left()) / 2 : o.left() - 2);
                if (o.right() < design.left())
                    left = std::max(left, isLabel ? (o.right() + 1 + design.left() + 1) / 2 : o.right() + 3);
            }
            const int grow = wantW - r.width();
            if (align & Qt::AlignHCenter) {
                const int side = std::min({(grow + 1) / 2, std::max(0, design.left() - left), std::max(0, right - 1 - design.right())});
                r.adjust(-side, 0, side, 0);
            } else if (align & Qt::AlignRight) {
                r.setLeft(std::max(std::min(left, design.left()), design.left() - grow));
            } else {
                r.setRight(std::min(std::max(right - 1, design.right()), design.right() + grow));
            }
        }
        if (wantH > r.height()) {
            int top = 0, bottom = windowH;  // bottom: one past the last row
            for (const auto& [isLabel, o] : others) {
                if (o.left() > r.right() || o.right() < r.left())
                    continue;
                if (o.top() > design.bottom())
                    bottom = std::min(bottom, isLabel ? (design.bottom() + 1 + o.top()) / 2 : o.top() - 1);
                if (o.bottom() < design.top())
                    top = std::max(top, isLabel ? (o.bottom() + 1 + design.top() + 1) / 2 : o.bottom() + 2);
            }
            top = std::min(top, design.top());
            bottom = std::max(bottom, design.bottom() + 1);
            const int height = std::min(wantH, bottom - top);
            // Centred on its row where the room allows.
            const int y = std::clamp(design.center().y() + 1 - height / 2, top, bottom - height);
            r.setTop(y);
            r.setHeight(height);
        }
        return r;
    }

    static bool paintElided(QLabel* label)
    {
        const QRect area = textArea(label);
        if (label->frameShape() != QFrame::NoFrame || textSize(label, label->fontMetrics()).width() <= area.width())
            return false;
        const QFontMetrics metrics = label->fontMetrics();
        QStringList lines = label->text().split(QLatin1Char('\n'));
        for (QString& line : lines)
            line = metrics.elidedText(line, Qt::ElideRight, area.width());
        QPainter painter(label);
        label->style()->drawItemText(&painter, area, int(QStyle::visualAlignment(label->layoutDirection(), label->alignment())),
                                     label->palette(), label->isEnabled(), lines.join(QLatin1Char('\n')),
                                     label->foregroundRole());
        return true;
    }

    QPointer<QWidget> window_;
    bool fitting_ = false;
};

}  // namespace

void keepTextReadable(QLabel* label, const QColor& colour)
{
    new ReadableText(label, colour);
}

void fitLabelsToText(QWidget* window)
{
    new LabelFitter(window);
}

}  // namespace zelt
