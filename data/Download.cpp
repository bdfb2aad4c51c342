#include "data/Download.h"

#include "data/DataFiles.h"
#include "data/RecordDecoder.h"
#include "link/ComPort.h"
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

namespace {
const char kColumnHeader[] = "date time,x(G),y(G),z(G),temperature(C)";
const char kStarColumnHeader[] = "Date,Xaxis,Yaxis,Zaxis,Temp";
}  // namespace

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

    const QString yearText = f_.Label15->text();
    QString header = QStringLiteral("Start Year=") + yearText;
    if (kind == Transfer::Get || kind == Transfer::Enquire)
        header += QStringLiteral(" @1G=") + QString::number(f_.countsPerG);
    // The window shrinks around the progress bar; the "*" variant keeps its
    // height, which is then also the height restored afterwards.
    f_.savedWindowHeight = f_.height();
    if (kind == Transfer::Get)
        f_.resize(f_.width(), f_.ProgressBar1->y() + 45);
    else if (kind != Transfer::Star)
        f_.resize(f_.width(), 160);
    // Every variant records its start, so the elapsed time is always its own.
    f_.transferStartTime = toDayValue(localNow());
    f_.Memo1->addLine(header);
    f_.Memo1->addLine(QString::fromLatin1(kind == Transfer::Star ? kStarColumnHeader : kColumnHeader));

    f_.lineLength = 0;
    f_.lineBuffer[0] = '\0';
    f_.ApdComPort1->FlushInBuffer();
    f_.ApdComPort1->PutString(kind == Transfer::Get ? "D" : kind == Transfer::Enquire ? "C" : "G");
    f_.downloadActive = 1;
    if (kind == Transfer::Get || kind == Transfer::Enquire)
        f_.currentFileName = f_.ComboBox5->currentText() + f_.Label18->text();
    f_.recordCount = 0;
    f_.recordLines.clear();
}

void DownloadFeature::decodingPass()
{
    finishDownload(QString());
}

void DownloadFeature::finishDownload(const QString& cutShortBy)
{
    f_.downloadActive = 0;
    // Only stored records are read: a count left by a line that merely looked
    // like the logger's count report must not take the pass past the table.
    const int count = std::clamp(f_.recordCount, 0, f_.recordLines.size());
    const QByteArray yearText = toCp932(f_.Label15->text());
    // The decoded lines go straight behind the memo's lines (the headers and
    // what was listed during the download), each made once, in its final form.
    records::PassResult pass = records::decodePassInto(
        count,
        [this](int i) {
            const QByteArrayView raw = f_.recordLines.view(i);
            return std::string_view(raw.data(), static_cast<size_t>(raw.size()));
        },
        std::string_view(yearText.constData(), static_cast<size_t>(yearText.size())), f_.fastSampling != 0,
        [this](std::string_view line) { f_.Memo1->addLine(QByteArrayView(line.data(), static_cast<qsizetype>(line.size()))); },
        [this](int remaining) { f_.ProgressBar1->setValue(remaining); });

    // The last decoded line stays in the line buffer, where the end mark shows it.
    if (count > 0) {
        const QByteArrayView last = f_.Memo1->store().view(f_.Memo1->count() - 1);
        const int n = std::min<int>(static_cast<int>(last.size()), kLineBufferSize - 1);
        std::memcpy(f_.lineBuffer, last.data(), static_cast<size_t>(n));
        f_.lineBuffer[n] = '\0';
    }
    f_.decodedCount = count;

    if (pass.irregular)
        f_.dialogs().message(QStringLiteral("時間不整合"));
    if (pass.badRecords > 0)
        f_.dialogs().message(QStringLiteral("読めないレコードが %1 件ありました (\"//Bad Record\" の行)").arg(pass.badRecords));
    f_.ProgressBar1->hide();

    // Minutes and seconds of the elapsed time; whole hours are not counted.
    const qint64 elapsedMs = std::llround((toDayValue(localNow()) - f_.transferStartTime) * kMillisecondsPerDay);
    const qint64 withinHour = (elapsedMs / 1000) % 3600;
    f_.Label33->setText(QString::asprintf("%drec %dsec", count, static_cast<int>(withinHour)));

    f_.resize(f_.width(), f_.savedWindowHeight);
    f_.Memo1->show();

    // What arrived is compared with what was announced, and a download that
    // fell short says so: in the data set (a saved file says it too) and in
    // a message. More records than announced are no fault (the logger goes
    // on recording after its report).
    const int announced = f_.reportedRecordCount;
    const bool short_ = announced >= 0 && count < announced;
    if (!cutShortBy.isEmpty() || short_) {
        const QString of = announced >= 0 ? QStringLiteral(" of %1").arg(announced) : QString();
        const QString why = cutShortBy.isEmpty() ? QStringLiteral("the end mark came early") : cutShortBy;
        f_.Memo1->addLine(QStringLiteral("// Download incomplete (%1): %2%3 records arrived //").arg(why).arg(count).arg(of));
        f_.dialogs().message(announced >= 0
                                 ? QStringLiteral("ダウンロードが完了していません (%1)。%2 件中 %3 件を受信しました。")
                                       .arg(why)
                                       .arg(announced)
                                       .arg(count)
                                 : QStringLiteral("ダウンロードが完了していません (%1)。%2 件を受信しました。")
                                       .arg(why)
                                       .arg(count));
    }
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
    // taken as a cancelled dialog. A file that cannot be read changes nothing.
    if (f_.dialogs().openFile(request) && confirmDataFile(f_.dialogs(), request.fileName)) {
        f_.Memo1->loadFromFile(request.fileName);
        dialog.fileName = request.fileName;
    }
    f_.currentFileName = dialog.fileName;
}

}  // namespace zelt
