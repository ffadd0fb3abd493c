#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "settings/basic_settings.h"
#include "test_support.h"
#include "vision/lens_calibration.h"

namespace smt {
namespace {

cv::Mat Matrix(double f, double cx = 320.0, double cy = 240.0)
{
    return (cv::Mat_<double>(3, 3) << f, 0, cx, 0, f, cy, 0, 0, 1);
}

const cv::Mat kFlat = cv::Mat::zeros(1, 5, CV_64F);
const cv::Mat kBarrel = (cv::Mat_<double>(1, 5) << -0.35, 0.12, 0, 0, 0);

struct CameraCalibration : testing::Test {
    test::TempDir dir;
    CCameraCalibration holder;

    std::string Write(const std::string& name, int width, int height, const cv::Mat& matrix,
                      const cv::Mat& distortion)
    {
        cv::FileStorage fs(dir.File(name), cv::FileStorage::WRITE);
        fs << "image_Width" << width << "image_Height" << height;
        fs << "Camera_Matrix" << matrix << "Distortion_Coefficients" << distortion;
        return dir.File(name);
    }

    // The basic settings load the lens file through their port, pointed at the holder as the camera panel does.
    void PortToHolder()
    {
        TheLensCalibrationPort().load = [this](const std::string& path) { return LoadCameraCalibration(holder, path); };
        TheLensCalibrationPort().isLoaded = [this] { return holder.IsLoaded(); };
    }
    ~CameraCalibration() override { TheLensCalibrationPort() = LensCalibrationPort{}; }
};

cv::Mat Pattern(int type)
{
    cv::Mat image(480, 640, type, cv::Scalar::all(30));
    for (int x = 8; x < 640; x += 16) cv::line(image, {x, 0}, {x, 480}, cv::Scalar::all(220), 2);
    for (int y = 8; y < 480; y += 16) cv::line(image, {0, y}, {640, y}, cv::Scalar::all(160), 2);
    return image;
}

TEST_F(CameraCalibration, TheLensSettingLoadsItsFile)
{
    const cv::Mat matrix = Matrix(800.0);
    const cv::Mat distortion = (cv::Mat_<double>(1, 5) << -0.2, 0.05, 0.001, -0.001, 0.0);
    Write("cameraCalibrate_data8mm.xml", 640, 480, matrix, distortion);
    PortToHolder();
    BasicSettings settings;
    // Lens 2 has no file and lens 1 (6 mm) has none here: nothing loads, the
    // switch is cleared and frames pass unchanged.
    for (int lens : {2, 1}) {
        settings.m_CameraLens = lens;
        settings.m_Calibrator2 = 1;
        EXPECT_FALSE(ApplyLensCalibration(settings, dir.Path())) << lens;
        EXPECT_EQ(settings.m_Calibrator2, 0) << lens;
    }
    EXPECT_FALSE(holder.IsLoaded());
    const cv::Mat frame = Pattern(CV_8UC3);
    EXPECT_EQ(UndistortImage(holder, frame).data, frame.data);

    settings.m_CameraLens = 0;
    settings.m_Calibrator2 = 1;
    EXPECT_TRUE(ApplyLensCalibration(settings, dir.Path()));
    EXPECT_TRUE(holder.IsLoaded());
    EXPECT_EQ(settings.m_Calibrator2, 1);
    EXPECT_EQ(holder.ImageSize(), cv::Size(640, 480));
    EXPECT_EQ(cv::norm(holder.CameraMatrix(), matrix, cv::NORM_INF), 0.0);
    EXPECT_EQ(cv::norm(holder.DistortionCoefficients(), distortion, cv::NORM_INF), 0.0);
}

TEST_F(CameraCalibration, BadFilesAreRefusedAndTheEarlierCalibrationKept)
{
    Write("good.xml", 640, 480, Matrix(800.0), kFlat);
    Write("width0.xml", 0, 480, Matrix(500.0, 1.0, 1.0), kFlat);
    Write("height0.xml", 640, 0, Matrix(500.0, 1.0, 1.0), kFlat);
    Write("nodist.xml", 640, 480, Matrix(500.0, 1.0, 1.0), cv::Mat());
    Write("matrix2x2.xml", 640, 480, cv::Mat::eye(2, 2, CV_64F), kFlat);
    Write("dist3.xml", 640, 480, Matrix(500.0, 1.0, 1.0), cv::Mat::zeros(1, 3, CV_64F));
    {
        cv::FileStorage fs(dir.File("nomatrix.xml"), cv::FileStorage::WRITE);
        fs << "image_Width" << 640 << "image_Height" << 480 << "Distortion_Coefficients" << kFlat;
    }
    test::WriteBytes(dir.File("garbage.xml"), "<?xml version=\"1.0\"?>\n<opencv_storage><image_Width>6");
    test::WriteBytes(dir.File("empty.xml"), "");
    // OpenCV's reader would spin for ever on these.
    test::WriteBytes(dir.File("listitem.yml"), "%YAML:1.0\n s: 1\n-M--\n");
    test::WriteBytes(dir.File("dotitem.yml"), "%YAML:1.0\n s: 1\n.M--\n");

    EXPECT_FALSE(LoadCameraCalibration(holder, dir.File("missing.xml")));
    EXPECT_FALSE(LoadCameraCalibration(holder, dir.File("width0.xml")));
    EXPECT_FALSE(holder.IsLoaded());
    ASSERT_TRUE(LoadCameraCalibration(holder, dir.File("GOOD.xml"))); // letter case differs
    for (const char* bad : {"missing.xml", "width0.xml", "height0.xml", "nodist.xml", "matrix2x2.xml",
                            "dist3.xml", "nomatrix.xml", "garbage.xml", "empty.xml", "listitem.yml", "dotitem.yml"}) {
        SCOPED_TRACE(bad);
        cv::Size size;
        cv::Mat m, d;
        EXPECT_FALSE(ReadCameraParams(dir.File(bad), size, m, d));
        EXPECT_TRUE(LoadCameraCalibration(holder, dir.File(bad))); // still the earlier one
        EXPECT_EQ(cv::norm(holder.CameraMatrix(), Matrix(800.0), cv::NORM_INF), 0.0);
        EXPECT_EQ(holder.ImageSize(), cv::Size(640, 480));
    }
}

TEST_F(CameraCalibration, ZeroDistortionIsTheIdentityAndANewCalibrationReplacesTheMaps)
{
    ASSERT_TRUE(LoadCameraCalibration(holder, Write("flat.xml", 640, 480, Matrix(700.0), kFlat)));
    for (int type : {CV_8UC3, CV_8UC1}) {
        const cv::Mat frame = Pattern(type);
        const cv::Mat out = UndistortImage(holder, frame);
        ASSERT_EQ(out.size(), frame.size());
        ASSERT_EQ(out.type(), frame.type());
        EXPECT_EQ(cv::norm(out, frame, cv::NORM_INF), 0.0);
        EXPECT_NE(out.data, frame.data);
    }
    ASSERT_TRUE(LoadCameraCalibration(holder, Write("barrel.xml", 640, 480, Matrix(500.0), kBarrel)));
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
    EXPECT_EQ(cv::norm(UndistortImage(holder, white), out, cv::NORM_INF), 0.0);
    EXPECT_TRUE(UndistortImage(holder, cv::Mat()).empty());
}

TEST_F(CameraCalibration, ARegionIsExactlyThatPartOfTheWholeUndistortedFrame)
{
    // The principal point off the centre, so that no region mirrors another.
    ASSERT_TRUE(LoadCameraCalibration(holder, Write("barrel.xml", 640, 480, Matrix(520.0, 331.0, 229.0), kBarrel)));
    for (int type : {CV_8UC3, CV_8UC1}) {
        const cv::Mat frame = Pattern(type);
        const cv::Mat whole = UndistortImage(holder, frame);
        // Centred, off-centre, at a corner (where the border maps from outside),
        // one pixel, the whole frame, and regions reaching beyond the frame (clipped).
        for (const cv::Rect r : {cv::Rect(220, 140, 200, 200), cv::Rect(37, 301, 151, 97), cv::Rect(0, 0, 64, 48),
                                 cv::Rect(333, 17, 1, 1), cv::Rect(0, 0, 640, 480), cv::Rect(600, -20, 100, 90),
                                 cv::Rect(-5, 470, 30, 30)}) {
            SCOPED_TRACE(testing::Message() << r << " type " << type);
            const cv::Rect clipped = r & cv::Rect(0, 0, 640, 480);
            const cv::Mat part = UndistortRegion(holder, frame, r);
            ASSERT_EQ(part.size(), clipped.size());
            ASSERT_EQ(part.type(), frame.type());
            EXPECT_EQ(cv::norm(part, whole(clipped), cv::NORM_INF), 0.0);
        }
    }
    // Outside the frame entirely, or an empty frame: nothing.
    EXPECT_TRUE(UndistortRegion(holder, Pattern(CV_8UC1), cv::Rect(700, 0, 10, 10)).empty());
    EXPECT_TRUE(UndistortRegion(holder, cv::Mat(), cv::Rect(0, 0, 10, 10)).empty());
    // Nothing to correct, or no calibration: a copy of the region.
    const cv::Mat frame = Pattern(CV_8UC3);
    const cv::Rect r(101, 57, 40, 30);
    ASSERT_TRUE(LoadCameraCalibration(holder, Write("flat.xml", 640, 480, Matrix(700.0), kFlat)));
    EXPECT_EQ(cv::norm(UndistortRegion(holder, frame, r), frame(r), cv::NORM_INF), 0.0);
    CCameraCalibration none;
    const cv::Mat copy = UndistortRegion(none, frame, r);
    EXPECT_EQ(cv::norm(copy, frame(r), cv::NORM_INF), 0.0);
    EXPECT_NE(copy.data, frame(r).data);
}

} // namespace
} // namespace smt
