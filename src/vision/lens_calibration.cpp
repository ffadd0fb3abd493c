#include "vision/lens_calibration.h"

#include <map>

#include <opencv2/calib3d.hpp>
#include <opencv2/imgproc.hpp>

#include "platform/files.h"
#include "vision/calibration_storage.h"
#include "vision/recognition.h"
#include "vision/remap_bgr.h"

namespace smt {

CCameraCalibration& TheLensCalibration() {
    static CCameraCalibration holder;
    return holder;
}
namespace {

bool UsableDistortion(const cv::Mat& d)
{
    const int n = static_cast<int>(d.total());
    return (d.rows == 1 || d.cols == 1) && (n == 4 || n == 5 || n == 8 || n == 12 || n == 14);
}

} // namespace

bool CCameraCalibration::IsLoaded() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_loaded;
}

cv::Size CCameraCalibration::ImageSize() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return {m_imageWidth, m_imageHeight};
}

cv::Mat CCameraCalibration::CameraMatrix() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_cameraMatrix.clone();
}

cv::Mat CCameraCalibration::DistortionCoefficients() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_distortion.clone();
}

bool ReadCameraParams(const std::string& fileName, cv::Size& imageSize, cv::Mat& cameraMatrix,
                      cv::Mat& distortion)
{
    const std::string path = plat::ResolvePath(fileName);
    std::string bytes;
    if (!plat::FileExists(path) || !plat::ReadWholeFile(path, bytes)) return false;
    std::map<std::string, StoredNode> nodes;
    if (!ParseCalibrationStorage(bytes, nodes)) return false;
    auto scalar = [&nodes](const char* name) {
        const auto it = nodes.find(name);
        int value = 0;
        return it != nodes.end() && !it->second.isMap && StoredInt(it->second.value, value) ? value : 0;
    };
    const int width = scalar("image_Width");
    const int height = scalar("image_Height");
    if (width < 1 || height < 1) return false;
    const auto matrixNode = nodes.find("Camera_Matrix");
    const auto coefficientsNode = nodes.find("Distortion_Coefficients");
    if (matrixNode == nodes.end() || coefficientsNode == nodes.end()) return false;
    cv::Mat matrix;
    cv::Mat coefficients;
    if (!StoredMatrix(matrixNode->second, 9, matrix) || !StoredMatrix(coefficientsNode->second, 14, coefficients))
        return false;
    // Anything else would make the undistortion throw on every frame.
    if (matrix.rows != 3 || matrix.cols != 3 || !UsableDistortion(coefficients)) return false;
    cameraMatrix = matrix;
    distortion = coefficients;
    imageSize = cv::Size(width, height);
    return true;
}

bool LoadCameraCalibration(CCameraCalibration& holder, const std::string& fileName)
{
    cv::Size size;
    cv::Mat matrix;
    cv::Mat distortion;
    const bool ok = !fileName.empty() && ReadCameraParams(fileName, size, matrix, distortion);
    std::lock_guard<std::mutex> lock(holder.m_mutex);
    if (ok) {
        holder.m_imageWidth = size.width;
        holder.m_imageHeight = size.height;
        holder.m_cameraMatrix = matrix;
        holder.m_distortion = distortion;
        holder.m_mapSize = cv::Size();
        holder.m_map1.release();
        holder.m_map2.release();
        holder.m_loaded = true;
    }
    return holder.m_loaded;
}

bool CCameraCalibration::MapsFor(cv::Size size, cv::Mat& map1, cv::Mat& map2)
{
    // Nothing to correct. (The optimal new camera matrix would still move the
    // image by up to half a pixel.)
    if (cv::countNonZero(m_distortion) == 0) return false;
    if (m_mapSize != size || m_map1.empty()) {
        const cv::Mat newMatrix =
            cv::getOptimalNewCameraMatrix(m_cameraMatrix, m_distortion, size, 1.0, size, nullptr, false);
        // Fresh maps, never written into the old ones: a caller may still be
        // remapping with them outside the lock.
        cv::Mat m1;
        cv::Mat m2;
        cv::initUndistortRectifyMap(m_cameraMatrix, m_distortion, cv::Mat(), newMatrix, size, CV_16SC2, m1, m2);
        m_map1 = m1;
        m_map2 = m2;
        m_mapSize = size;
    }
    map1 = m_map1;
    map2 = m_map2;
    return true;
}

cv::Mat UndistortImage(CCameraCalibration& holder, const cv::Mat& frame)
{
    if (frame.empty()) return frame;
    cv::Mat map1;
    cv::Mat map2;
    {
        std::lock_guard<std::mutex> lock(holder.m_mutex);
        if (!holder.m_loaded) return frame;
        if (!holder.MapsFor(frame.size(), map1, map2)) return frame.clone();
    }
    cv::Mat out;
    RemapBilinear(frame, out, map1, map2);
    return out;
}

cv::Mat UndistortRegion(CCameraCalibration& holder, const cv::Mat& frame, cv::Rect region)
{
    region &= cv::Rect(0, 0, frame.cols, frame.rows);
    if (frame.empty() || region.empty()) return cv::Mat();
    cv::Mat map1;
    cv::Mat map2;
    {
        std::lock_guard<std::mutex> lock(holder.m_mutex);
        if (!holder.m_loaded || !holder.MapsFor(frame.size(), map1, map2)) return frame(region).clone();
    }
    // Each output pixel depends on its own map entries and the whole source: the
    // region's rows of the maps give exactly the whole image's pixels there.
    cv::Mat out;
    RemapBilinear(frame, out, map1(region), map2(region));
    return out;
}

cv::Mat UndistortRecognitionWindow(CCameraCalibration& holder, const cv::Mat& frame, double sizeMm,
                                   double pixelsPerMm)
{
    // The window of a square cut-out of its own side is the whole cut-out, whether
    // the side came from the size or from the frame's smaller dimension.
    return UndistortRegion(holder, frame, RecognitionWindow(frame.size(), sizeMm, pixelsPerMm));
}

} // namespace smt
