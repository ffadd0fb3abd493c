// Lens calibration of vision camera 2 (camera matrix and distortion made with
// OpenCV's calibration tools) and the undistortion of its frames.
#pragma once

#include <mutex>
#include <string>

#include <opencv2/core.hpp>

namespace smt {

class CCameraCalibration {
public:
    CCameraCalibration() = default;
    CCameraCalibration(const CCameraCalibration&) = delete;
    CCameraCalibration& operator=(const CCameraCalibration&) = delete;

    bool IsLoaded() const;
    cv::Size ImageSize() const;
    cv::Mat CameraMatrix() const;
    cv::Mat DistortionCoefficients() const;

private:
    friend bool LoadCameraCalibration(CCameraCalibration& holder, const std::string& fileName);
    friend cv::Mat UndistortImage(CCameraCalibration& holder, const cv::Mat& frame);
    friend cv::Mat UndistortRegion(CCameraCalibration& holder, const cv::Mat& frame, cv::Rect region);
    // The maps of `size` (built when missing); false when there is nothing to
    // correct. The caller holds m_mutex.
    bool MapsFor(cv::Size size, cv::Mat& map1, cv::Mat& map2);

    // The live view and the run may undistort at the same time as a reload.
    mutable std::mutex m_mutex;
    bool m_loaded = false;
    int m_imageWidth = 0;
    int m_imageHeight = 0;
    cv::Mat m_cameraMatrix;
    cv::Mat m_distortion;
    // Undistort-rectify maps of the last frame size (rebuilt when it changes or
    // a new calibration is loaded).
    cv::Size m_mapSize;
    cv::Mat m_map1;
    cv::Mat m_map2;
};

// The file of a lens setting is `LensCalibrationFileName` (settings/basic_settings.h);
// the basic settings load it through `TheLensCalibrationPort`, which the program's
// wiring points at the process-wide holder below; the camera panel takes the same one.
CCameraCalibration& TheLensCalibration();

// Reads "image_Width", "image_Height" (each at least 1), "Camera_Matrix" (3 x 3)
// and "Distortion_Coefficients" (4, 5, 8, 12 or 14 values). False for a missing,
// malformed or incomplete file. The name may differ from the file's in letter case.
bool ReadCameraParams(const std::string& fileName, cv::Size& imageSize, cv::Mat& cameraMatrix,
                      cv::Mat& distortion);

// Loads the file into the holder; a failed load keeps any earlier calibration.
// Returns the holder's loaded flag.
bool LoadCameraCalibration(CCameraCalibration& holder, const std::string& fileName);

// The frame corrected for lens distortion, the same size and type; pixels that
// map from outside the source are 0. Without a calibration the frame itself;
// with one whose distortion coefficients are all 0 an exact copy.
cv::Mat UndistortImage(CCameraCalibration& holder, const cv::Mat& frame);

// The pixels of `region` (clipped to the frame) of UndistortImage(frame), and
// only those: the remap, which is where the time goes, covers the region alone.
// Without a calibration, or with all coefficients 0, a copy of the region.
cv::Mat UndistortRegion(CCameraCalibration& holder, const cv::Mat& frame, cv::Rect region);

// The recognition window of `frame` for a window of sizeMm at pixelsPerMm
// (RecognitionWindow, vision/recognition.h) of UndistortImage(frame), and only
// it. Every recognition reads its window alone, and on this cut-out the window is
// the whole of it, so what it finds here is what it finds in the whole
// undistorted frame, at a fraction of the remap.
cv::Mat UndistortRecognitionWindow(CCameraCalibration& holder, const cv::Mat& frame, double sizeMm,
                                   double pixelsPerMm);

} // namespace smt
