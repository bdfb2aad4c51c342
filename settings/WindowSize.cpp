// The "↓" label: enlarges the main window by 160 pixels to show the settings
// and command rows, and restores the compact view.
#include "settings/WindowSize.h"

#include "shell/TForm1.h"

namespace zelt {

WindowSizeFeature::WindowSizeFeature(TForm1& form) : QObject(&form), f_(form)
{
    f_.onClick(f_.Label20, [this] { Label20Click(); });
}

void WindowSizeFeature::Label20Click()
{
    if (f_.Label20->text() == QStringLiteral("↓")) {
        f_.resize(f_.width(), f_.compactHeight + 160);
        f_.Label20->setText(QStringLiteral("↑"));
    } else {
        f_.resize(f_.width(), f_.compactHeight);
        f_.Label20->setText(QStringLiteral("↓"));
    }
}

}  // namespace zelt
