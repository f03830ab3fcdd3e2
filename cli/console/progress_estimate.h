// How far an update on the console has come, and how long it will take: the bytes of each image
// written, the rate while pages are written (erases not counted) and the time left, with an erase
// for each image still to come as long as the erases so far took; and the words and the bar that
// show it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvanex::cli {

// How far the writing of one image has come, as a unit's line or row shows it.
struct ProgressFigures {
    std::string image;
    std::uint64_t imageDone = 0;
    std::uint64_t imageTotal = 0;
    double rate = 0;  // bytes a second while pages are written
    double eta = 0;   // seconds until the last page of the last image
};

// "NAME  45%  120 of 896 KiB  5.2 KiB/s  ETA 2:05". With a width, the words are shortened to fit
// it, the ETA always kept whole at their end.
std::string ProgressWords(const ProgressFigures& progress, std::size_t width = 0);
// Seconds as minutes and seconds ("2:05"), as the progress lines show the time left.
std::string Duration(double seconds);
// "[######..........]": so much of the width filled as done is of total.
std::string ProgressBar(std::uint64_t done, std::uint64_t total, std::size_t width);

struct ImageToReport {
    std::wstring name;
    std::uint64_t bytes;
};

class ProgressEstimate {
  public:
    explicit ProgressEstimate(std::vector<ImageToReport> images);

    bool HasImages() const { return !images_.empty(); }
    // An image is about to be erased: the bytes loaded to be written are the image from now on,
    // whatever size the file had when it was looked at. Returns its name.
    std::string ImageBegins(const wchar_t* file, std::uint64_t bytesTotal, double now);
    // The device has accepted so many bytes of the image. True for its last page.
    bool PageWritten(std::uint64_t bytesDone, double now);

    std::uint64_t ImageDone() const { return imageDone_; }
    std::uint64_t ImageSize() const { return images_[currentImage_].bytes; }
    std::uint64_t BytesDone() const { return finishedBytes_ + imageDone_; }
    std::uint64_t TotalBytes() const { return totalBytes_; }
    const std::wstring& ImageName() const { return images_[currentImage_].name; }
    // Bytes a second while pages are written, erases not counted.
    double Rate() const;
    // Until the last page of the last image is written.
    double SecondsLeft() const;
    ProgressFigures Figures() const;

  private:
    std::vector<ImageToReport> images_;
    std::uint64_t totalBytes_ = 0;
    // The image being written and the bytes of those finished before it.
    std::size_t currentImage_ = 0;
    std::uint64_t imageDone_ = 0;
    std::uint64_t finishedBytes_ = 0;
    double eraseStartSeconds_ = 0;
    double erasingSeconds_ = 0;
    std::uint32_t imagesErased_ = 0;
    double lastPageSeconds_ = -1;
    double writingSeconds_ = 0;
    std::uint64_t bytesTimed_ = 0;
};

}  // namespace quorvanex::cli
