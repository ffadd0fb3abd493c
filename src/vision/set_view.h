// The camera panel's values and operations without a widget: camera selection
// with its vision parameters and light, the vision test with its move, clicks and
// zoom of the live view, the ordinary video cameras, and the panel's settings and
// texts. Selection and the vision test run on any thread: values are atomics, the
// light command goes out on the caller's thread, and the panel's widgets learn of
// changes through the view hooks (which post to the user-interface thread).
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "vision/camera_ds.h"

namespace smt {

// A camera record's vision values (the camera table's first and second rows).
struct CameraVisionRecord {
    double VisualZoom = 0;  // pixels per mm
    double VisualSize = 0;  // mm
    int Light_Contrast = 0;
    int Light_Brightness = 0;
};

// What the panel reads of the camera table, the PCB editor and the run.
struct SetViewSources {
    // 0 the first camera record, 1 the second; nullopt when absent.
    std::function<std::optional<CameraVisionRecord>(int which)> cameraRecord;
    std::function<bool()> visionColourReversal;  // camera list m_VisualImageColorReversal
    std::function<bool()> markColourReversal;    // PCB editor m_ImageColorReversal
    std::function<bool()> pcbEditorInitialising;  // the PCB editor's m_KeepPanelLight
    // The run's per-nozzle measurement of a fly frame.
    std::function<void(int nozzle, const cv::Mat& frame)> flyMeasure;
};
SetViewSources& TheSetViewSources();

// The panel's texts, in their order.
enum SetViewText : int {
    kTxtSelectCamera, kTxtFeature, kTxtBinaryImg, kTxtVisualSize, kTxtLightContrast, kTxtLightBrightness,
    kTxtOpenOrCloseCamera, kTxtExternShow, kTxtVisionTest, kTxtOpenMarkCamera, kTxtOpenVisualCamera1,
    kTxtOpenVisualCamera2, kTxtOpenVisualCameraB, kTxtVideoNo, kTxtOpenCamera, kTxtCloseCamera,
    kTxtMessage01, kTxtMessage02, kTxtIdentifyError, kTxtMessage03, kTxtMessage04, kTxtMessage05,
    kTxtNoPicture,  // "%s": the camera that gives no picture
    kSetViewTextCount
};
// The caption-file key and the built-in text of each.
struct SetViewTextEntry {
    const char* key;
    const char* builtin;
};
extern const std::array<SetViewTextEntry, kSetViewTextCount> kSetViewTexts;

// "%Y%m%d%H%M%S" of the local time.
std::string FormatTimeStamp();

class SetView {
public:
    // Control ids the view hooks name.
    static constexpr int kFrameSizeEdit = 1006, kContrastEdit = 1232, kBrightnessEdit = 1030;

    struct ViewHooks {
        std::function<void()> refreshControls;        // edits, sliders, check box from the values
        std::function<void(int control)> refuseEdit;  // focus the edit and select its text
        std::function<void(int ms)> setTimer1;
    };

    SetView();
    ~SetView();
    ViewHooks& view() { return m_view; }

    // ---- values (member names of the panel) ----
    std::atomic<int> m_BinaryImg{1};  // also m_ShowBinary: recognisers draw the thresholded window
    std::atomic<double> m_PixelsPerMm{20.0}, m_Zoom{1.0}, m_VisualSize{0.0};
    std::atomic<int> m_Light_Contrast{0}, m_Light_Brightness{0};
    std::atomic<bool> m_UseFeedBrightness{false}, m_ImageSizePending{true}, m_Undistort{false};
    std::atomic<double> m_PartWidth{1.0}, m_PartHeight{1.0};
    std::atomic<int> m_ImageWidth{640}, m_ImageHeight{480};
    std::atomic<int> m_ResultSlot{1}, m_CalibSlot{1}, m_CalibSlotOffsetX{0};
    std::atomic<int> m_MoveOffsetX{0}, m_MoveOffsetY{0}, m_MoveOffsetA{0};
    std::atomic<double> m_ClickOffsetX{0.0}, m_ClickOffsetY{0.0};
    std::atomic<int> m_DsCameraIndex{0}, m_VideoNumber{1}, m_Language{1};

    std::string Text(int index) const;
    // "<camera> gives no picture" in the panel's language, the camera named as its
    // button is (CameraIndex).
    std::string NoPictureText(int camera) const;
    // Vision-type captions of combo 1033 in the panel's language.
    std::vector<std::string> VisionTypeCaptions() const;
    void SetVisionTypeText(const std::string& text);
    std::string VisionTypeText() const;
    // The first two characters of the combo's text as a number; outside 0..17: 0.
    int VisionType() const;

    // ---- selection ----
    void OnBnClickedMarkCamera();
    void OnBnClickedVisualCamera1();
    void OnBnClickedVisualCamera2();
    void OnBnClickedVisualCameraB();
    void SetVisionParameters(int contrast, int brightness, double pixelsPerMm, double frameSize);
    // The edits' change handlers: false when the text is refused (the edit then
    // keeps focus with its text selected and the value stays).
    bool OnChangeVisualSize(const std::string& text);
    bool OnChangeContrast(const std::string& text);
    bool OnChangeBrightness(const std::string& text);
    void OnContrastSlider(int position);
    void OnBrightnessSlider(int position);

    // ---- vision test, click and zoom ----
    void OnBnClickedVisionTest();
    void RunVisionTest(const cv::Mat* frame, int slot, bool move);
    // The guards, the busy claim and the worker of the move to m_MoveOffset*.
    bool StartMoveToImageOffset();
    // A left click at (x, y) in a live view of the given size; false outside it
    // or without a live mark camera.
    bool OnLiveViewClick(int x, int y, int viewWidth, int viewHeight);
    void OnWheel(int delta);
    void ZoomIn();   // "+"
    void ZoomOut();  // "-"
    bool HasLiveSource() const;
    // The centred zoom crop of a frame with the target marker (the live view),
    // scaled to `out` first when given so that the marker stays visible.
    cv::Mat LiveViewImage(const cv::Mat& frame, bool undistort, cv::Size out = {}) const;

    // ---- ordinary video cameras ----
    bool DsCameraOpen(int index) const;
    cv::Mat QueryDsFrame(int index);
    // Open (false) or close (true) by the state of button 1072; `comboCount` is
    // the number of entries of combo 1074 and `selected` its selection (-1 none).
    bool OpenCamera(bool pauseSdk, int comboCount, int selected);
    void CloseDsCameras();
    void CloseDsCamera(int index);
    bool DsCamerasOpen() const;

    // ---- settings ----
    void LoadConfig(const std::string& startFolder);
    bool SaveConfig(const std::string& startFolder) const;
    void LoadLanguage(const std::string& startFolder, const std::string& language);
    // One snapshot of the current camera, released at once (nothing is stored).
    bool SnapshotTest(const std::string& startFolder);

private:
    bool SelectionGuard(bool cameraB, int camera);
    void Refresh();
    void Refuse(int control);
    void MoveToImageOffsetThread();

    ViewHooks m_view;
    mutable std::mutex m_textMutex;
    std::array<std::string, kSetViewTextCount> m_Texts;
    std::string m_visionTypeText;
    mutable std::mutex m_dsMutex;
    std::array<std::unique_ptr<CCameraDS>, 8> m_DsCameras;
};

SetView& TheSetView();

} // namespace smt
