#pragma once
// The About box of the main window: the tool's version, its licence and the
// versions of Qt and FFTW it runs with. Reached from the main window's
// context menu (a right click on the window's free space or on a caption)
// and with F1, so that the window's own controls stay as they are.
#include <QObject>
#include <QString>

class QAction;

namespace zelt {

class TForm1;

// The text the About box shows, in the current language.
QString aboutText();

class AboutFeature : public QObject {
public:
    explicit AboutFeature(TForm1& form);

    QAction* action() const { return action_; }
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void retranslate();

    TForm1& f_;
    QAction* action_;
};

}  // namespace zelt
