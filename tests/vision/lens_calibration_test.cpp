#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "settings/basic_settings.h"
#include "test_support.h"
#include "vision/lens_calibration.h"
#include "vision/recognition.h"

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


TEST_F(CameraCalibration, TheRecognitionWindowAloneMeasuresAsTheWholeUndistortedFrame)
{
    ASSERT_TRUE(LoadCameraCalibration(holder, Write("barrel.xml", 640, 480, Matrix(520.0, 331.0, 229.0), kBarrel)));
    // A 4 x 2 mm part at 20 px/mm, turned 17 degrees, off the centre to the right and down.
    cv::Mat frame(480, 640, CV_8UC3, cv::Scalar::all(25));
    cv::Point2f corners[4];
    cv::RotatedRect(cv::Point2f(320 + 31, 240 + 12), cv::Size2f(80, 40), 17).points(corners);
    const std::vector<cv::Point> poly(corners, corners + 4);
    cv::fillConvexPoly(frame, poly, cv::Scalar::all(225), cv::LINE_AA);
    const cv::Mat whole = UndistortImage(holder, frame);
    // A window of whole pixels, one of a fractional side, one taller than the frame
    // (the frame's height is the window then, not centred in X), one below a pixel.
    for (const double sizeMm : {10.0, 7.33, 30.0, 0.01}) {
        SCOPED_TRACE(sizeMm);
        const cv::Rect window = RecognitionWindow(frame.size(), sizeMm, 20.0);
        const cv::Mat part = UndistortRecognitionWindow(holder, frame, sizeMm, 20.0);
        ASSERT_EQ(part.size(), window.size());
        EXPECT_EQ(cv::norm(part, whole(window), cv::NORM_INF), 0.0);
        double x1 = 0, y1 = 0, a1 = 0, x2 = 0, y2 = 0, a2 = 0;
        ComponentBox b1;
        ComponentBox b2;
        VisionResultSlots shown1;
        VisionResultSlots shown2;
        FindComponent(1, x1, false, b1, whole, 0, 0, y1, a1, 0, sizeMm, 20.0, 0.0, &shown1);
        FindComponent(1, x2, false, b2, part, 0, 0, y2, a2, 0, sizeMm, 20.0, 0.0, &shown2);
        ASSERT_NE(b1.cx, -1.0f);
        EXPECT_EQ(x1, x2);
        EXPECT_EQ(y1, y2);
        EXPECT_EQ(a1, a2);
        EXPECT_EQ(b1.cx, b2.cx);
        EXPECT_EQ(b1.cy, b2.cy);
        EXPECT_EQ(b1.width, b2.width);
        EXPECT_EQ(b1.height, b2.height);
        // The annotated window the panel shows, too.
        cv::Mat image1;
        cv::Mat image2;
        ASSERT_TRUE(shown1.TakeReady(1, image1));
        ASSERT_TRUE(shown2.TakeReady(1, image2));
        EXPECT_EQ(cv::norm(image1, image2, cv::NORM_INF), 0.0);
    }
    // Without a calibration: the window of the frame as it is.
    CCameraCalibration none;
    const cv::Rect window = RecognitionWindow(frame.size(), 10.0, 20.0);
    EXPECT_EQ(cv::norm(UndistortRecognitionWindow(none, frame, 10.0, 20.0), frame(window), cv::NORM_INF), 0.0);
}

// Our reader takes both forms of OpenCV's writer, and a file as the calibration
// tool writes it, with comments, strings and matrices of its own around the four
// nodes.
TEST_F(CameraCalibration, BothFormsOfTheWriterAndAToolsWholeFileAreRead)
{
    const cv::Mat matrix = (cv::Mat_<double>(3, 3) << 812.25, 0, 331.5, 0, 806.75, 243.125, 0, 0, 1);
    const cv::Mat distortion = (cv::Mat_<double>(5, 1) << -0.21, 0.043, 0.0012, -0.0007, 0.0051);
    for (const char* name : {"lens.xml", "lens.yml"}) {
        SCOPED_TRACE(name);
        cv::Size size;
        cv::Mat m, d;
        ASSERT_TRUE(ReadCameraParams(Write(name, 1280, 1024, matrix, distortion), size, m, d));
        EXPECT_EQ(size, cv::Size(1280, 1024));
        EXPECT_EQ(cv::norm(m, matrix, cv::NORM_INF), 0.0);
        EXPECT_EQ(cv::norm(d, distortion, cv::NORM_INF), 0.0);
        // Single precision stays single precision, as OpenCV reads it.
        cv::Mat m32, d32;
        matrix.convertTo(m32, CV_32F);
        distortion.convertTo(d32, CV_32F);
        ASSERT_TRUE(ReadCameraParams(Write(std::string("f") + name, 640, 480, m32, d32), size, m, d));
        EXPECT_EQ(m.type(), CV_64F);
        EXPECT_EQ(m.at<double>(1, 1), static_cast<double>(static_cast<float>(806.75)));
        EXPECT_EQ(d.at<double>(1), static_cast<double>(static_cast<float>(0.043)));
    }

    test::WriteBytes(dir.File("tool.xml"),
                     "<?xml version=\"1.0\"?>\n<opencv_storage>\n"
                     "<calibration_Time>\"Mon Dec  7 18:00:00 2026\"</calibration_Time>\n"
                     "<nr_of_frames>25</nr_of_frames>\n<image_Width>1280</image_Width>\n"
                     "<image_Height>1024</image_Height>\n<board_Width>9</board_Width>\n"
                     "<square_Size>2.5000000000000000e+01</square_Size>\n"
                     "<!-- flags: +fix_principal_point +zero_tangent_dist -->\n<flags>12</flags>\n"
                     "<Camera_Matrix type_id=\"opencv-matrix\">\n  <rows>3</rows>\n  <cols>3</cols>\n"
                     "  <dt>d</dt>\n  <data>\n    8.1225000000000000e+02 0. 3.3150000000000000e+02 0.\n"
                     "    8.0675000000000000e+02 243.125 0. 0. 1.</data></Camera_Matrix>\n"
                     "<Distortion_Coefficients type_id=\"opencv-matrix\">\n  <rows>5</rows>\n  <cols>1</cols>\n"
                     "  <dt>d</dt>\n  <data>\n    -0.21 4.3e-02 1.2e-03 -7.0e-04 5.1e-03</data></Distortion_Coefficients>\n"
                     "<image_points type_id=\"opencv-matrix\">\n  <rows>2</rows>\n  <cols>1</cols>\n"
                     "  <dt>\"2f\"</dt>\n  <data>\n    1. 2. 3. 4.</data></image_points>\n"
                     "</opencv_storage>\n");
    test::WriteBytes(dir.File("tool.yml"),
                     "%YAML:1.0\n---\ncalibration_Time: \"Mon Dec  7 18:00:00 2026\"\nnr_of_frames: 25\n"
                     "image_Width: 1280\nimage_Height: 1024\n# flags: +fix_principal_point\nflags: 12\n"
                     "Camera_Matrix: !!opencv-matrix\n   rows: 3\n   cols: 3\n   dt: d\n"
                     "   data: [ 8.1225000000000000e+02, 0., 3.3150000000000000e+02, 0.,\n"
                     "       8.0675000000000000e+02, 243.125, 0., 0., 1. ]\n"
                     "Distortion_Coefficients: !!opencv-matrix\n   rows: 5\n   cols: 1\n   dt: d\n"
                     "   data: [ -0.21, 4.3e-02, 1.2e-03, -7.0e-04, 5.1e-03 ]\n"
                     "image_points: !!opencv-matrix\n   rows: 2\n   cols: 1\n   dt: \"2f\"\n"
                     "   data: [ 1., 2., 3., 4. ]\n");
    for (const char* name : {"tool.xml", "tool.yml"}) {
        SCOPED_TRACE(name);
        cv::Size size;
        cv::Mat m, d;
        ASSERT_TRUE(ReadCameraParams(dir.File(name), size, m, d));
        EXPECT_EQ(size, cv::Size(1280, 1024));
        EXPECT_EQ(cv::norm(m, matrix, cv::NORM_INF), 0.0);
        EXPECT_EQ(cv::norm(d, distortion, cv::NORM_INF), 0.0);
    }
}

std::string Repeated(const std::string& s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

// Damaged files of both forms are refused, never followed: among them the forms
// on which OpenCV's own reader crashed or spun.
TEST_F(CameraCalibration, DamagedFilesOfEitherFormAreRefused)
{
    const std::string head = "<?xml version=\"1.0\"?>\n<opencv_storage>\n<image_Width>640</image_Width>\n"
                             "<image_Height>480</image_Height>\n";
    const std::string matrix = "<Camera_Matrix type_id=\"opencv-matrix\"><rows>3</rows><cols>3</cols><dt>d</dt>"
                               "<data>800. 0. 320. 0. 800. 240. 0. 0. 1.</data></Camera_Matrix>\n";
    const std::string dist = "<Distortion_Coefficients type_id=\"opencv-matrix\"><rows>1</rows><cols>5</cols>"
                             "<dt>d</dt><data>-0.2 0.05 0. 0. 0.</data></Distortion_Coefficients>\n";
    const std::string end = "</opencv_storage>\n";
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string s = head + matrix + dist + end;
        const std::size_t at = s.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return s.replace(at, from.size(), to);
    };
    const std::string yaml = "%YAML:1.0\n---\nimage_Width: 640\nimage_Height: 480\n"
                             "Camera_Matrix: !!opencv-matrix\n   rows: 3\n   cols: 3\n   dt: d\n"
                             "   data: [ 800., 0., 320., 0., 800., 240., 0., 0., 1. ]\n"
                             "Distortion_Coefficients: !!opencv-matrix\n   rows: 1\n   cols: 5\n   dt: d\n"
                             "   data: [ -0.2, 0.05, 0., 0., 0. ]\n";
    auto yamlReplaced = [&](const std::string& from, const std::string& to) {
        std::string s = yaml;
        const std::size_t at = s.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return s.replace(at, from.size(), to);
    };
    cv::Size size;
    cv::Mat m, d;
    test::WriteBytes(dir.File("whole.xml"), head + matrix + dist + end);
    test::WriteBytes(dir.File("whole.yml"), yaml);
    ASSERT_TRUE(ReadCameraParams(dir.File("whole.xml"), size, m, d));
    ASSERT_TRUE(ReadCameraParams(dir.File("whole.yml"), size, m, d));

    const std::vector<std::pair<const char*, std::string>> bad = {
        {"cut prolog", std::string("<?xml IIIIIIIIIIIIIIIIIIIIIIIIsion=\rooooooooooooooooooooo")},
        {"no prolog", replaced("<?xml version=\"1.0\"?>", "")},
        {"other root", replaced("<opencv_storage>", "<storage>")},
        {"tags crossed", replaced("</image_Width>", "</image_Height>")},
        {"root not closed", head + matrix + dist},
        {"comment not closed", replaced("<image_Height>", "<!-- <image_Height>")},
        {"attribute not closed", replaced("type_id=\"opencv-matrix\"", "type_id=\"opencv-matrix")},
        {"text after the root", head + matrix + dist + end + "x"},
        {"text beside fields", replaced("<rows>3</rows>", "9 <rows>3</rows>")},
        {"doctype", replaced("<opencv_storage>", "<!DOCTYPE x><opencv_storage>")},
        {"a value short", replaced("0. 0. 1.</data>", "0. 0.</data>")},
        {"a value over", replaced("0. 0. 1.</data>", "0. 0. 1. 2.</data>")},
        {"a word for a value", replaced("0. 0. 1.</data>", "0. 0. one</data>")},
        {"two channels", replaced("<dt>d</dt><data>800.", "<dt>\"2d\"</dt><data>800.")},
        {"bytes", replaced("<dt>d</dt><data>800.", "<dt>u</dt><data>800.")},
        {"rows as a string", replaced("<rows>3</rows>", "<rows>\"3\"</rows>")},
        {"rows missing", replaced("<rows>3</rows>", "")},
        {"rows beyond int", replaced("<rows>3</rows>", "<rows>30000000000</rows>")},
        {"a huge matrix", replaced("<rows>3</rows><cols>3</cols>", "<rows>100000</rows><cols>100000</cols>")},
        {"width a string", replaced("<image_Width>640<", "<image_Width>\"640\"<")},
        {"an infinite value", replaced("0. 0. 1.</data>", "0. 0. inf</data>")},
        {"a float out of range", replaced("<dt>d</dt><data>800.", "<dt>f</dt><data>1e39")},
        {"nested too deep", head + "<other>" + Repeated("<a>", 100) + Repeated("</a>", 100) + "</other>\n" +
                                matrix + dist + end},
        {"yaml list item below a key", "%YAML:1.0\n s: 1\n-M--\n"},
        {"yaml dot item below a key", "%YAML:1.0\n s: 1\n.M--\n"},
        {"yaml list not closed", yamlReplaced("0., 0., 1. ]", "0., 0., 1.")},
        {"yaml nested list", yamlReplaced("[ 800.,", "[ [800.],")},
        {"yaml empty item", yamlReplaced("0., 0., 1. ]", "0., , 1. ]")},
        {"yaml uneven fields", yamlReplaced("   cols: 3", "     cols: 3")},
        {"yaml tab", yamlReplaced("   dt: d\n   data: [ 800.", "\tdt: d\n   data: [ 800.")},
        {"yaml nested map", yamlReplaced("   dt: d\n   data: [ 800.", "   dt: !!x\n   data: [ 800.")},
        {"yaml flow map", yamlReplaced("image_Width: 640", "image_Width: { a: 1 }")},
        {"yaml data a scalar", yamlReplaced("[ -0.2, 0.05, 0., 0., 0. ]", "-0.2")},
        {"yaml field below a scalar", yamlReplaced("image_Height: 480\n", "image_Height: 480\n   rows: 3\n")},
    };
    for (const auto& [what, bytes] : bad) {
        SCOPED_TRACE(what);
        test::WriteBytes(dir.File("bad.xml"), bytes);
        EXPECT_FALSE(ReadCameraParams(dir.File("bad.xml"), size, m, d));
    }
    // A deep but well-formed file is only read as deep as needed.
    test::WriteBytes(dir.File("deep.xml"),
                     head + "<other>" + Repeated("<a>", 10) + Repeated("</a>", 10) + "</other>\n" + matrix + dist + end);
    EXPECT_TRUE(ReadCameraParams(dir.File("deep.xml"), size, m, d));
}

} // namespace
} // namespace smt
