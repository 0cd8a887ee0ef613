// didi's small window: the package being fetched, its progress, the total progress and
// "Přerušit", which stops the download so that the next run resumes it.
#pragma once

#include "dbupdate/downloader.h"

#include <QDialog>
#include <mutex>
#include <thread>

class QLabel;
class QProgressBar;
class QTimer;

class DidiWindow : public QDialog {
    Q_OBJECT
public:
    DidiWindow(zeph::dbu::PackageDownloader& downloader, std::vector<zeph::dbu::DownloadJobEntry> job);
    ~DidiWindow() override;
    zeph::dbu::DownloadResult result() const { return result_; }

protected:
    void reject() override;  // the close button and Esc stop like "Přerušit"

private:
    void refresh();

    zeph::dbu::PackageDownloader& downloader_;
    std::thread worker_;
    std::mutex mutex_;
    zeph::dbu::DownloadProgress progress_;
    std::vector<std::string> messages_;
    bool finished_ = false;
    zeph::dbu::DownloadResult result_ = zeph::dbu::DownloadResult::Failed;

    QLabel* name_;
    QLabel* status_;
    QProgressBar* package_;
    QProgressBar* total_;
    QTimer* timer_;
};
