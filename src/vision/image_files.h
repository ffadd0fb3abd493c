#pragma once
// Image files and video cameras through the vision library's codecs, which live in
// a module loaded on first use (see codecs/image_codecs_module.cpp). When the
// module cannot be loaded, a read gives an empty image, a write and an open fail.
#include <string>

#include <opencv2/core.hpp>

namespace smt {

// cv::imread: an empty image when the file cannot be read.
cv::Mat ReadImageFile(const std::string& file, int flags);
// cv::imwrite: false when it fails, also for an unknown file type.
bool WriteImageFile(const std::string& file, const cv::Mat& image);

// cv::VideoCapture on a device number with a capture back end.
class VideoCaptureDevice {
public:
    VideoCaptureDevice() = default;
    ~VideoCaptureDevice() { Release(); }
    VideoCaptureDevice(const VideoCaptureDevice&) = delete;
    VideoCaptureDevice& operator=(const VideoCaptureDevice&) = delete;

    bool Open(int device, int api);
    bool Set(int property, double value);
    double Get(int property) const;
    bool Read(cv::Mat* frame);
    void Release();

private:
    void* m_video = nullptr;
};

} // namespace smt
