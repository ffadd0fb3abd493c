// The image file codecs and the video capture of the vision library, in a module
// of their own that the program loads on first use: their libraries (and the
// hundreds they pull in) cost every process a quarter of a second to load, and
// most never read an image file or open a video camera.
#include <exception>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>

extern "C" {

__attribute__((visibility("default"))) bool smt_codecs_read(const char* file, int flags, cv::Mat* out) {
    try {
        *out = cv::imread(file, flags);
        return !out->empty();
    } catch (const std::exception&) {
        return false;
    }
}

__attribute__((visibility("default"))) bool smt_codecs_write(const char* file, const cv::Mat* image) {
    try {
        return cv::imwrite(file, *image);
    } catch (const std::exception&) {
        return false;  // an unknown file type
    }
}

__attribute__((visibility("default"))) void* smt_codecs_video_open(int device, int api) {
    try {
        auto* cap = new cv::VideoCapture();
        if (cap->open(device, api)) return cap;
        delete cap;
    } catch (const std::exception&) {
    }
    return nullptr;
}

__attribute__((visibility("default"))) bool smt_codecs_video_set(void* video, int property, double value) {
    try {
        return static_cast<cv::VideoCapture*>(video)->set(property, value);
    } catch (const std::exception&) {
        return false;
    }
}

__attribute__((visibility("default"))) double smt_codecs_video_get(void* video, int property) {
    try {
        return static_cast<cv::VideoCapture*>(video)->get(property);
    } catch (const std::exception&) {
        return 0;
    }
}

__attribute__((visibility("default"))) bool smt_codecs_video_read(void* video, cv::Mat* out) {
    try {
        return static_cast<cv::VideoCapture*>(video)->read(*out);
    } catch (const std::exception&) {
        return false;
    }
}

__attribute__((visibility("default"))) void smt_codecs_video_close(void* video) {
    delete static_cast<cv::VideoCapture*>(video);
}

} // extern "C"
