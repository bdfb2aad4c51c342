#include "data/Download.h"

#include "data/DataFiles.h"
#include "data/DownloadExchange.h"
#include "link/ComPort.h"
#include "link/LoggerLink.h"
#include "platform/Clock.h"
#include "platform/Cp932.h"
#include "platform/Dialogs.h"
#include "platform/LogMemo.h"
#include "platform/PeriodicTimer.h"
#include "shell/TForm1.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace zelt {

QString csvSavePath(const QString& chosen)
{
    return chosen.contains(QLatin1Char('.')) ? chosen : chosen + QStringLiteral(".csv");
}

DownloadFeature::DownloadFeature(TForm1& form) : QObject(&form), f_(form)
{
    f_.onClick(f_.Button30, [this] { Button30Click(); });
    f_.onClick(f_.Button47, [this] { Button47Click(); });
    f_.onClick(f_.Button3, [this] { Button3Click(); });
    f_.onClick(f_.Button28, [this] { Button28Click(); });
    f_.onClick(f_.Button6, [this] { Button6Click(); });
    f_.onClick(f_.Button11, [this] { Button11Click(); });
    f_.hooks.downloadComplete = [this] { decodingPass(); };
    f_.hooks.downloadCutShort = [this](const QString& why) { cutShort(why); };
}

void DownloadFeature::cutShort(const QString& why)
{
    if (!f_.downloadActive)
        return;
    finishDownload(why);
}

void DownloadFeature::startTransfer(Transfer kind)
{
    // Nothing to do without a ready logger, or while a capture or a
    // firmware transfer has the line.
    if (!f_.loggerReady || f_.onlineRow != 0 || f_.firmwareSending)
        return;
    // The port is opened first: when it cannot be (busy, gone), the error is
    // shown and nothing has changed, the data set in the memo included.
    if (!f_.ApdComPort1->Open())
        f_.ApdComPort1->setOpen(true);

    f_.Timer1->setInterval(0);
    f_.Memo1->clear();
    f_.Memo1->hide();
    f_.ProgressBar1->show();

    // The window shrinks around the progress bar; the "*" variant keeps its
    // height, which is then also the height restored afterwards.
    f_.savedWindowHeight = f_.height();
    if (kind == Transfer::Get)
        f_.resize(f_.width(), f_.ProgressBar1->y() + 45);
    else if (kind != Transfer::Star)
        f_.resize(f_.width(), 160);
    for (const QByteArray& line : DownloadExchange::headLines(kind, f_.Label15->text(), f_.countsPerG))
        f_.Memo1->addLine(line);

    DownloadExchange(f_.link()).begin(kind);
    if (kind == Transfer::Get || kind == Transfer::Enquire)
        f_.currentFileName = f_.ComboBox5->currentText() + f_.Label18->text();
}

void DownloadFeature::decodingPass()
{
    finishDownload(QString());
}

void DownloadFeature::finishDownload(const QString& cutShortBy)
{
    // The decoded lines go straight behind the memo's lines (the headers and
    // what was listed during the download), each made once, in its final form.
    const DownloadExchange::Result result = DownloadExchange(f_.link()).finish(
        toCp932(f_.Label15->text()), [this](QByteArrayView line) { f_.Memo1->addLine(line); },
        [this](int remaining) { f_.ProgressBar1->setValue(remaining); }, cutShortBy);

    if (result.irregular)
        f_.dialogs().message(QStringLiteral("時間不整合"));
    if (result.badRecords > 0)
        f_.dialogs().message(QStringLiteral("読めないレコードが %1 件ありました (\"//Bad Record\" の行)").arg(result.badRecords));
    f_.ProgressBar1->hide();

    // Minutes and seconds of the elapsed time; whole hours are not counted.
    const qint64 elapsedMs = std::llround((toDayValue(localNow()) - f_.transferStartTime) * kMillisecondsPerDay);
    const qint64 withinHour = (elapsedMs / 1000) % 3600;
    f_.Label33->setText(QString::asprintf("%drec %dsec", result.records, static_cast<int>(withinHour)));

    f_.resize(f_.width(), f_.savedWindowHeight);
    f_.Memo1->show();
    if (result.incomplete)
        f_.dialogs().message(result.message);
}

void DownloadFeature::Button6Click()
{
    FileRequest& dialog = f_.SaveDialog1;
    dialog.confirmOverwrite = true;
    dialog.mustExist = false;
    dialog.fileName = QStringLiteral("ZELT") + f_.Label18->text();
    dialog.filter = QStringLiteral("CSV files (*.csv)|*.CSV");
    dialog.defaultSuffix.clear();
    if (!f_.dialogs().saveFile(dialog))
        return;
    f_.Memo1->saveToFile(csvSavePath(dialog.fileName));
}

void DownloadFeature::Button11Click()
{
    FileRequest& dialog = f_.OpenDialog1;
    dialog.defaultSuffix = QStringLiteral("csv");
    dialog.filter = QStringLiteral("text|*.csv");
    dialog.mustExist = true;
    FileRequest request = dialog;
    // A file that is no recording is loaded only when the user agrees; No is
    // taken as a cancelled dialog, as is a cancelled reading. A file that
    // cannot be read changes nothing.
    if (f_.dialogs().openFile(request) && confirmDataFile(f_.dialogs(), request.fileName) &&
        f_.Memo1->loadFromFile(request.fileName))
        dialog.fileName = request.fileName;
    f_.currentFileName = dialog.fileName;
}

}  // namespace zelt
