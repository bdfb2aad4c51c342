#pragma once
// Downloading the records stored in the logger and decoding them into the
// log memo; saving the memo as a CSV file and reading such a file back.
#include "data/DownloadExchange.h"

#include <QObject>
#include <QString>

namespace zelt {

class TForm1;

class DownloadFeature : public QObject {
public:
    // Joins the transfer and file buttons of the main window, and the
    // decoding pass to the closing end mark of a download.
    explicit DownloadFeature(TForm1& form);

    void startTransfer(Transfer kind);
    void Button30Click() { startTransfer(Transfer::Get); }       // 取得, "D"
    void Button47Click() { startTransfer(Transfer::Enquire); }   // ENQ, "C"
    void Button3Click() { startTransfer(Transfer::Version3); }   // V3, "G"
    void Button28Click() { startTransfer(Transfer::Star); }      // *, "G"

    // The decoding pass: every stored record becomes a readable line.
    void decodingPass();
    // A download that ends without its end mark (port lost, the logger
    // silent, the record bound reached): what arrived is decoded and kept,
    // and the data set and a message say how much of it arrived.
    void cutShort(const QString& why);

    void Button6Click();   // 保存: save the memo as CSV
    void Button11Click();  // FILE: read a CSV file into the memo

private:
    void finishDownload(const QString& cutShortBy);

    TForm1& f_;
};

// The save path for a chosen name: ".csv" is appended when the path holds no
// "." at all.
QString csvSavePath(const QString& chosen);

}  // namespace zelt
