// Arbitrary bytes as a lens-calibration file: reading it either fails or gives a
// usable calibration (a positive image size, a finite 3 x 3 matrix, a finite
// distortion list of an accepted length) that corrects a frame without throwing.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <opencv2/core.hpp>

#include "platform/files.h"
#include "vision/lens_calibration.h"

namespace {

void check(bool ok) {
    if (!ok) __builtin_trap();
}

const std::string& file() {
    static const std::string path = [] {
        std::string t = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + std::string("/fuzz_lens_XXXXXX");
        if (!mkdtemp(t.data())) std::abort();
        return t + "/lens.yml";
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    check(plat::WriteFileAtomic(file(), std::string(reinterpret_cast<const char*>(data), size)));
    cv::Size imageSize;
    cv::Mat matrix, distortion;
    if (!smt::ReadCameraParams(file(), imageSize, matrix, distortion)) return 0;
    check(imageSize.width >= 1 && imageSize.height >= 1);
    check(matrix.rows == 3 && matrix.cols == 3 && matrix.type() == CV_64F && cv::checkRange(matrix));
    const int n = static_cast<int>(distortion.total());
    check((n == 4 || n == 5 || n == 8 || n == 12 || n == 14) && distortion.type() == CV_64F && cv::checkRange(distortion));

    smt::CCameraCalibration holder;
    check(smt::LoadCameraCalibration(holder, file()));
    const cv::Mat frame(6, 8, CV_8UC1, cv::Scalar(128));
    const cv::Mat out = smt::UndistortImage(holder, frame);
    check(out.size() == frame.size() && out.type() == frame.type());
    return 0;
}
