#include "didi_window.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using namespace zeph::dbu;

namespace {

// Progress bars count in KiB so that packages beyond 2 GiB fit an int.
int kib(int64_t bytes) { return int(std::min<int64_t>(bytes / 1024, INT32_MAX)); }

}  // namespace

DidiWindow::DidiWindow(PackageDownloader& downloader, std::vector<DownloadJobEntry> job) : downloader_(downloader)
{
    setWindowTitle(QString::fromUtf8("Stahování aktualizace databáze"));
    auto* layout = new QVBoxLayout(this);
    name_ = new QLabel(this);
    package_ = new QProgressBar(this);
    total_ = new QProgressBar(this);
    status_ = new QLabel(this);
    status_->setWordWrap(true);
    auto* stop = new QPushButton(QString::fromUtf8("Přerušit"), this);
    layout->addWidget(name_);
    layout->addWidget(package_);
    layout->addWidget(new QLabel(QString::fromUtf8("Celkem:"), this));
    layout->addWidget(total_);
    layout->addWidget(status_);
    layout->addWidget(stop, 0, Qt::AlignRight);
    resize(420, sizeHint().height());
    connect(stop, &QPushButton::clicked, this, [this] { reject(); });

    downloader_.onProgress = [this](const DownloadProgress& p) {
        std::lock_guard<std::mutex> lock(mutex_);
        progress_ = p;
    };
    downloader_.onMessage = [this](const std::string& line) {
        std::lock_guard<std::mutex> lock(mutex_);
        messages_.push_back(line);
    };
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &DidiWindow::refresh);
    timer_->start(100);
    worker_ = std::thread([this, job = std::move(job)] {
        DownloadResult r = downloader_.run(job);
        std::lock_guard<std::mutex> lock(mutex_);
        result_ = r;
        finished_ = true;
    });
}

DidiWindow::~DidiWindow()
{
    downloader_.abort = true;
    if (worker_.joinable()) worker_.join();
}

void DidiWindow::reject()
{
    downloader_.abort = true;
    status_->setText(QString::fromUtf8("Přerušuje se…"));
}

void DidiWindow::refresh()
{
    std::lock_guard<std::mutex> lock(mutex_);
    name_->setText(QString::fromUtf8("Balíček %1 z %2: %3")
                       .arg(progress_.index + 1)
                       .arg(progress_.count)
                       .arg(QString::fromStdString(progress_.name)));
    package_->setMaximum(progress_.packageTotal > 0 ? kib(progress_.packageTotal) : 0);
    package_->setValue(kib(progress_.packageDone));
    total_->setMaximum(progress_.allTotal > 0 ? kib(progress_.allTotal) : 0);
    total_->setValue(kib(std::min(progress_.allDone, std::max<int64_t>(progress_.allTotal, 0))));
    if (!messages_.empty()) status_->setText(QString::fromStdString(messages_.back()));
    if (finished_) {
        timer_->stop();
        done(0);
    }
}
