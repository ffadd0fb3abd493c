#include "vision/lens_calibration.h"

#include <cctype>
#include <cstring>
#include <exception>

#include <opencv2/calib3d.hpp>
#include <opencv2/imgproc.hpp>

#include "platform/files.h"
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

// A stored matrix of at most `cells` single values, judged before OpenCV reads it:
// it allocates rows x cols as the file states them, so a damaged file could ask
// for gigabytes.
bool SmallMatrix(const cv::FileNode& node, int cells)
{
    if (!node.isMap()) return false;
    const cv::FileNode rows = node["rows"], cols = node["cols"], data = node["data"];
    if (!rows.isInt() || !cols.isInt() || !data.isSeq()) return false;
    const long long r = static_cast<int>(rows), c = static_cast<int>(cols);
    return r >= 1 && c >= 1 && r * c <= cells && data.size() <= static_cast<std::size_t>(cells);
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

// OpenCV's YAML reader spins for ever on some damaged lines (a stray "-M--" or
// ".M--" below an indented key). A calibration file holds only what OpenCV's
// writer puts there: the header, "---", comments, "key: value" lines and number
// lists in [ ], which may run over several lines. Anything else is refused before
// the reader sees it.
static bool YamlOutsideCalibrationShape(const std::string& bytes)
{
    if (bytes.rfind("%YAML", 0) != 0) return false;
    auto isKeyChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    int depth = 0;
    std::size_t pos = bytes.find('\n');
    while (pos != std::string::npos && pos < bytes.size()) {
        const std::size_t start = pos + 1;
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        const std::string line = bytes.substr(start, end - start);
        pos = end;
        const std::size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos) continue;
        const std::size_t last = line.find_last_not_of(" \t\r");
        const std::string text = line.substr(first, last - first + 1);
        std::size_t rest = 0;  // where the part after the key starts
        if (depth == 0) {
            if (text == "---" || text[0] == '#') continue;
            std::size_t k = 0;
            while (k < text.size() && isKeyChar(text[k])) ++k;
            if (k == 0 || std::isdigit(static_cast<unsigned char>(text[0])) || k == text.size() || text[k] != ':')
                return true;
            rest = k + 1;
        }
        for (std::size_t i = rest; i < text.size(); ++i) {
            const char c = text[i];
            if (c == '[') ++depth;
            else if (c == ']') { if (--depth < 0) return true; }
            else if (depth > 0 && !(std::isdigit(static_cast<unsigned char>(c)) || std::strchr("+-.eE, \t", c)))
                return true;
        }
    }
    return false;
}

bool ReadCameraParams(const std::string& fileName, cv::Size& imageSize, cv::Mat& cameraMatrix,
                      cv::Mat& distortion)
{
    const std::string path = plat::ResolvePath(fileName);
    std::string bytes;
    if (!plat::FileExists(path) || !plat::ReadWholeFile(path, bytes)) return false;
    // Two damaged forms that OpenCV's parser follows into a null pointer: a NUL byte
    // (a text file has none) and a file ending just after an '=' (a cut attribute).
    if (bytes.find('\0') != std::string::npos) return false;
    const std::size_t last = bytes.find_last_not_of(" \t\r\n");
    if (last != std::string::npos && bytes[last] == '=') return false;
    if (YamlOutsideCalibrationShape(bytes)) return false;
    try {
        cv::FileStorage fs(path, cv::FileStorage::READ);
        if (!fs.isOpened()) return false;
        int width = 0;
        int height = 0;
        fs["image_Width"] >> width;
        fs["image_Height"] >> height;
        if (width < 1 || height < 1) return false;
        if (!SmallMatrix(fs["Camera_Matrix"], 9) || !SmallMatrix(fs["Distortion_Coefficients"], 14)) return false;
        cv::Mat matrix;
        cv::Mat coefficients;
        fs["Camera_Matrix"] >> matrix;
        fs["Distortion_Coefficients"] >> coefficients;
        if (matrix.rows == 0 || coefficients.rows == 0) return false;
        // Anything else would make the undistortion throw on every frame.
        if (matrix.rows != 3 || matrix.cols != 3 || matrix.channels() != 1 ||
            coefficients.channels() != 1 || !UsableDistortion(coefficients))
            return false;
        matrix.convertTo(cameraMatrix, CV_64F);
        coefficients.convertTo(distortion, CV_64F);
        if (!cv::checkRange(cameraMatrix) || !cv::checkRange(distortion)) return false;
        imageSize = cv::Size(width, height);
        return true;
    } catch (const std::exception&) {
        // cv::Exception, and what OpenCV's parser lets through from the library
        // (a damaged file has thrown std::length_error).
        return false;
    }
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

} // namespace smt
