#include <fstream>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "settings/basic_settings.h"
#include "test_support.h"
#include "vision/lens_calibration.h"

namespace smt {
namespace {

cv::Mat Matrix(double f, double cx, double cy)
{
    return (cv::Mat_<double>(3, 3) << f, 0, cx, 0, f, cy, 0, 0, 1);
}

void WriteCalibration(const std::string& path, int width, int height, const cv::Mat& matrix,
                      const cv::Mat& distortion)
{
    cv::FileStorage fs(path, cv::FileStorage::WRITE);
    fs << "image_Width" << width;
    fs << "image_Height" << height;
    fs << "Camera_Matrix" << matrix;
    fs << "Distortion_Coefficients" << distortion;
}

cv::Mat Pattern(cv::Size size, int type = CV_8UC3)
{
    cv::Mat image(size, type, cv::Scalar::all(30));
    for (int x = 8; x < size.width; x += 16) cv::line(image, {x, 0}, {x, size.height}, cv::Scalar::all(220), 2);
    for (int y = 8; y < size.height; y += 16) cv::line(image, {0, y}, {size.width, y}, cv::Scalar::all(160), 2);
    return image;
}

// The basic settings load the lens file through their port, pointed at a holder
// as the camera panel does.
struct PortToHolder {
    explicit PortToHolder(CCameraCalibration& holder)
    {
        TheLensCalibrationPort().load = [&holder](const std::string& path) {
            return LoadCameraCalibration(holder, path);
        };
        TheLensCalibrationPort().isLoaded = [&holder] { return holder.IsLoaded(); };
    }
    ~PortToHolder() { TheLensCalibrationPort() = LensCalibrationPort{}; }
};

TEST(CameraCalibration, AFileWrittenByOpenCvLoads)
{
    test::TempDir dir;
    const cv::Mat matrix = Matrix(800.0, 320.0, 240.0);
    const cv::Mat distortion = (cv::Mat_<double>(1, 5) << -0.2, 0.05, 0.001, -0.001, 0.0);
    WriteCalibration(dir.File("cameraCalibrate_data8mm.xml"), 640, 480, matrix, distortion);

    cv::Size size;
    cv::Mat m, d;
    ASSERT_TRUE(ReadCameraParams(dir.File("cameraCalibrate_data8mm.xml"), size, m, d));
    EXPECT_EQ(size, cv::Size(640, 480));
    EXPECT_EQ(cv::norm(m, matrix, cv::NORM_INF), 0.0);
    EXPECT_EQ(cv::norm(d, distortion, cv::NORM_INF), 0.0);

    CCameraCalibration holder;
    EXPECT_FALSE(holder.IsLoaded());
    PortToHolder port(holder);
    BasicSettings settings;
    settings.m_CameraLens = 0;
    settings.m_Calibrator2 = 1;
    EXPECT_TRUE(ApplyLensCalibration(settings, dir.Path()));
    EXPECT_TRUE(holder.IsLoaded());
    EXPECT_EQ(settings.m_Calibrator2, 1);
    EXPECT_EQ(holder.ImageSize(), cv::Size(640, 480));
    EXPECT_EQ(cv::norm(holder.CameraMatrix(), matrix, cv::NORM_INF), 0.0);
}

TEST(CameraCalibration, BadFilesAreRefusedAndTheEarlierCalibrationKept)
{
    test::TempDir dir;
    const cv::Mat good = Matrix(800.0, 320.0, 240.0);
    const cv::Mat zeros = cv::Mat::zeros(1, 5, CV_64F);
    WriteCalibration(dir.File("good.xml"), 640, 480, good, zeros);
    WriteCalibration(dir.File("width0.xml"), 0, 480, Matrix(500.0, 1.0, 1.0), zeros);
    WriteCalibration(dir.File("height0.xml"), 640, 0, Matrix(500.0, 1.0, 1.0), zeros);
    WriteCalibration(dir.File("nodist.xml"), 640, 480, Matrix(500.0, 1.0, 1.0), cv::Mat());
    WriteCalibration(dir.File("matrix2x2.xml"), 640, 480, cv::Mat::eye(2, 2, CV_64F), zeros);
    WriteCalibration(dir.File("dist3.xml"), 640, 480, Matrix(500.0, 1.0, 1.0), cv::Mat::zeros(1, 3, CV_64F));
    {
        cv::FileStorage fs(dir.File("nomatrix.xml"), cv::FileStorage::WRITE);
        fs << "image_Width" << 640 << "image_Height" << 480 << "Distortion_Coefficients" << zeros;
    }
    test::WriteBytes(dir.File("garbage.xml"), "<?xml version=\"1.0\"?>\n<opencv_storage><image_Width>6");
    test::WriteBytes(dir.File("empty.xml"), "");

    CCameraCalibration holder;
    EXPECT_FALSE(LoadCameraCalibration(holder, dir.File("missing.xml")));
    EXPECT_FALSE(LoadCameraCalibration(holder, dir.File("width0.xml")));
    EXPECT_FALSE(holder.IsLoaded());
    ASSERT_TRUE(LoadCameraCalibration(holder, dir.File("GOOD.xml"))); // letter case differs
    for (const char* bad : {"missing.xml", "width0.xml", "height0.xml", "nodist.xml", "matrix2x2.xml",
                            "dist3.xml", "nomatrix.xml", "garbage.xml", "empty.xml"}) {
        SCOPED_TRACE(bad);
        cv::Size size;
        cv::Mat m, d;
        EXPECT_FALSE(ReadCameraParams(dir.File(bad), size, m, d));
        EXPECT_TRUE(LoadCameraCalibration(holder, dir.File(bad))); // still the earlier one
        EXPECT_EQ(cv::norm(holder.CameraMatrix(), good, cv::NORM_INF), 0.0);
        EXPECT_EQ(holder.ImageSize(), cv::Size(640, 480));
    }
}

TEST(CameraCalibration, LensTwoLoadsNothingAndFramesPassUnchanged)
{
    test::TempDir dir;
    WriteCalibration(dir.File("cameraCalibrate_data8mm.xml"), 640, 480, Matrix(800.0, 320.0, 240.0),
                     (cv::Mat_<double>(1, 5) << -0.3, 0.1, 0, 0, 0));
    CCameraCalibration holder;
    PortToHolder port(holder);
    BasicSettings settings;
    settings.m_CameraLens = 2;
    EXPECT_FALSE(ApplyLensCalibration(settings, dir.Path()));
    settings.m_CameraLens = 1; // no 6 mm file
    EXPECT_FALSE(ApplyLensCalibration(settings, dir.Path()));
    EXPECT_FALSE(holder.IsLoaded());
    const cv::Mat frame = Pattern({640, 480});
    const cv::Mat out = UndistortImage(holder, frame);
    EXPECT_EQ(out.data, frame.data);
}

TEST(CameraCalibration, ZeroDistortionIsTheIdentity)
{
    test::TempDir dir;
    WriteCalibration(dir.File("c.xml"), 640, 480, Matrix(700.0, 320.0, 240.0), cv::Mat::zeros(1, 5, CV_64F));
    CCameraCalibration holder;
    ASSERT_TRUE(LoadCameraCalibration(holder, dir.File("c.xml")));
    for (int type : {CV_8UC3, CV_8UC1}) {
        const cv::Mat frame = Pattern({640, 480}, type);
        const cv::Mat out = UndistortImage(holder, frame);
        ASSERT_EQ(out.size(), frame.size());
        ASSERT_EQ(out.type(), frame.type());
        EXPECT_EQ(cv::norm(out, frame, cv::NORM_INF), 0.0);
        EXPECT_NE(out.data, frame.data);
    }
}

TEST(CameraCalibration, BarrelCorrectionKeepsTheSizeAndBlacksOutsidePixels)
{
    test::TempDir dir;
    WriteCalibration(dir.File("c.xml"), 640, 480, Matrix(500.0, 320.0, 240.0),
                     (cv::Mat_<double>(1, 5) << -0.35, 0.12, 0, 0, 0));
    CCameraCalibration holder;
    ASSERT_TRUE(LoadCameraCalibration(holder, dir.File("c.xml")));
    const cv::Mat white(480, 640, CV_8UC3, cv::Scalar::all(255));
    const cv::Mat out = UndistortImage(holder, white);
    ASSERT_EQ(out.size(), white.size());
    // With every source pixel kept (alpha 1) the borders map from outside: 0.
    EXPECT_EQ(out.at<cv::Vec3b>(240, 0), cv::Vec3b(0, 0, 0));
    EXPECT_EQ(out.at<cv::Vec3b>(0, 320), cv::Vec3b(0, 0, 0));
    EXPECT_EQ(out.at<cv::Vec3b>(240, 320), cv::Vec3b(255, 255, 255));
    // The cached maps follow a change of frame size, and repeat exactly.
    const cv::Mat small(240, 320, CV_8UC1, cv::Scalar(255));
    EXPECT_EQ(UndistortImage(holder, small).size(), small.size());
    const cv::Mat again = UndistortImage(holder, white);
    EXPECT_EQ(cv::norm(again, out, cv::NORM_INF), 0.0);
    EXPECT_TRUE(UndistortImage(holder, cv::Mat()).empty());
}

TEST(CameraCalibration, ANewCalibrationReplacesTheCachedMaps)
{
    test::TempDir dir;
    WriteCalibration(dir.File("flat.xml"), 640, 480, Matrix(700.0, 320.0, 240.0), cv::Mat::zeros(1, 5, CV_64F));
    WriteCalibration(dir.File("barrel.xml"), 640, 480, Matrix(500.0, 320.0, 240.0),
                     (cv::Mat_<double>(1, 5) << -0.35, 0.12, 0, 0, 0));
    CCameraCalibration holder;
    const cv::Mat white(480, 640, CV_8UC1, cv::Scalar(255));
    ASSERT_TRUE(LoadCameraCalibration(holder, dir.File("flat.xml")));
    EXPECT_EQ(UndistortImage(holder, white).at<uchar>(240, 0), 255);
    ASSERT_TRUE(LoadCameraCalibration(holder, dir.File("barrel.xml")));
    EXPECT_EQ(UndistortImage(holder, white).at<uchar>(240, 0), 0);
}

} // namespace
} // namespace smt
