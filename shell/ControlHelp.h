#pragma once
// What each control of the main window does, for the user who hovers over
// it (a tooltip) and for the user of a screen reader or the keyboard (the
// accessible name: the caption and what the control sends the logger), in
// the windows' language.
#include <QObject>

namespace zelt {

class TForm1;

class ControlHelpFeature : public QObject {
public:
    explicit ControlHelpFeature(TForm1& form);

    // Sets every tooltip and accessible name in the current language.
    void apply();

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TForm1& f_;
};

}  // namespace zelt
