#include "cli/console/progress_estimate.h"

#include <algorithm>
#include <cstdio>

#include "text/utf8.h"

namespace quorvanex::cli {
namespace {

std::string Kibibytes(std::uint64_t bytes) {
    return std::to_string((bytes + 512) / 1024);
}

}  // namespace

std::string ProgressWords(const ProgressFigures& progress, std::size_t width) {
    const int percent = progress.imageTotal > 0
                            ? static_cast<int>(progress.imageDone * 100 / progress.imageTotal)
                            : 100;
    char figures[96];
    std::snprintf(figures, sizeof figures, " %3d%%  %s of %s KiB  %.1f KiB/s", percent,
                  Kibibytes(progress.imageDone).c_str(), Kibibytes(progress.imageTotal).c_str(),
                  progress.rate / 1024);
    const std::string eta = "  ETA " + Duration(progress.eta);
    std::string words = progress.image + figures;
    if (width != 0 && words.size() + eta.size() > width) {
        // The name gives way first, then the figures: the time left is what a glance looks for.
        const std::size_t room = width > eta.size() ? width - eta.size() : 0;
        std::string name = progress.image;
        const std::size_t figuresLength = std::char_traits<char>::length(figures);
        name.resize(room > figuresLength + 8 ? room - figuresLength : std::min(name.size(), room));
        words = (name + figures).substr(0, room);
    }
    return words + eta;
}

std::string Duration(double seconds) {
    const auto whole = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

std::string ProgressBar(std::uint64_t done, std::uint64_t total, std::size_t width) {
    const std::size_t filled = total > 0 ? static_cast<std::size_t>(done * width / total) : width;
    std::string bar = "[";
    bar.append(filled, '#').append(width - filled, '.');
    return bar + "]";
}

ProgressEstimate::ProgressEstimate(std::vector<ImageToReport> images) : images_(std::move(images)) {
    for (const ImageToReport& image : images_) {
        totalBytes_ += image.bytes;
    }
}

std::string ProgressEstimate::ImageBegins(const wchar_t* file, std::uint64_t bytesTotal,
                                          double now) {
    finishedBytes_ = 0;
    for (std::size_t i = 0; i < images_.size(); ++i) {
        if (images_[i].name == file) {
            currentImage_ = i;
            break;
        }
        finishedBytes_ += images_[i].bytes;
    }
    // The progress and its totals count what is written.
    totalBytes_ = totalBytes_ - images_[currentImage_].bytes + bytesTotal;
    images_[currentImage_].bytes = bytesTotal;
    imageDone_ = 0;
    eraseStartSeconds_ = now;
    lastPageSeconds_ = -1;
    return Utf8FromWide(images_[currentImage_].name);
}

bool ProgressEstimate::PageWritten(std::uint64_t bytesDone, double now) {
    if (lastPageSeconds_ < 0) {
        // The first page of the image: its erase is over.
        erasingSeconds_ += now - eraseStartSeconds_;
        ++imagesErased_;
    } else {
        writingSeconds_ += now - lastPageSeconds_;
        bytesTimed_ += bytesDone - imageDone_;
    }
    lastPageSeconds_ = now;
    imageDone_ = bytesDone;
    return bytesDone == images_[currentImage_].bytes;
}

double ProgressEstimate::Rate() const {
    return writingSeconds_ > 0 ? static_cast<double>(bytesTimed_) / writingSeconds_ : 0;
}

// The bytes left at the rate of the pages so far, and an erase for each image still to come, as
// long as the erases so far took.
double ProgressEstimate::SecondsLeft() const {
    const double rate = Rate();
    const std::uint64_t done = finishedBytes_ + imageDone_;
    const std::uint64_t left = totalBytes_ > done ? totalBytes_ - done : 0;
    const double writing = rate > 0 ? static_cast<double>(left) / rate : 0;
    const double erasing = imagesErased_ > 0 ? erasingSeconds_ / imagesErased_ : 0;
    return writing + erasing * static_cast<double>(images_.size() - 1 - currentImage_);
}

ProgressFigures ProgressEstimate::Figures() const {
    return {Utf8FromWide(images_[currentImage_].name), imageDone_, images_[currentImage_].bytes,
            Rate(), SecondsLeft()};
}

}  // namespace quorvanex::cli
