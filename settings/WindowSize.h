#pragma once
#include <QObject>

namespace zelt {

class TForm1;

// The label that switches the main window between its compact height and
// the compact height plus 160 pixels.
class WindowSizeFeature : public QObject {
public:
    explicit WindowSizeFeature(TForm1& form);
    void Label20Click();

private:
    TForm1& f_;
};

}  // namespace zelt
