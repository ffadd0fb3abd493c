// The camera panel above the manual control panel: the live view, the nine
// result windows, the status line and the camera, light and vision-test
// controls. It only shows and edits: the values and operations are TheSetView()'s
// and the threads TheCameraService()'s; frames and results reach the widgets as
// posts to the user-interface thread.
#pragma once

#include <QWidget>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include <opencv2/core.hpp>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QTimer;

namespace smt {

// One display window: draws its last image stretched, or a dark field.
class CameraImageWindow : public QWidget {
    Q_OBJECT
public:
    explicit CameraImageWindow(QWidget* parent);
    void SetImage(const cv::Mat& frame);
    const QImage& Image() const { return m_image; }
    // The live view is dark before its first frame; a result window without an
    // image shows the panel's own background, so no dark band beside the camera's
    // picture passes for part of it.
    void SetLiveView(bool live) { m_live = live; }

signals:
    void clicked(QPoint at);
    void wheeled(int delta);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    QImage m_image;
    bool m_live = false;
};

class CDialogSetView : public QWidget {
    Q_OBJECT
public:
    CDialogSetView(const std::string& startFolder, const std::string& language, QWidget* parent);
    ~CDialogSetView() override;

    // The panel's full size: its images at their natural size.
    QSize sizeHint() const override;
    // Lays the panel out within `maxHeight`: the images shrink (down to half their
    // size) so the buttons below them stay in view. Returns the height used.
    int FitHeight(int maxHeight);
    // The panel's height changed (button 1220): the view lays its left column out again.
    std::function<void(int height)> onHeightChanged;

    void LayoutPanel();
    void ApplyLanguage();
    void LoadLanguage(const std::string& startFolder, const std::string& language);
    // Controls from the values (edits, sliders, check box, captions of 1072).
    void RefreshControls();
    void OnBnClickedOpenCamera();
    void OnBnClickedExtendedDisplay();
    void OnHeightToggle();
    CameraImageWindow* Window(int index) const { return m_windows[index]; }
    bool Expanded() const { return m_Expanded; }
    // The hooks that show on this panel (the panel hooks, the live view and the
    // result windows); the program's wiring calls it once the view holds the panel.
    void FillPanelHooks();

private:
    void Build();
    void ShowLive(int camera, const cv::Mat& frame);
    void OnTimer();
    void RefreshDirectShowView();
    void UpdateCameraStatus();
    void SetTimer1(int ms);
    void Refuse(int control);
    QPushButton* Button(int id, const QString& text);
    QLineEdit* Edit(int id);
    QLabel* Label(int id);

    std::string m_startFolder;
    bool m_Expanded = false;
    bool m_ExtendedDisplay = false;
    int m_LayoutMargin = 8;
    static constexpr int m_LayoutUnit = 104, m_LayoutBase = 30, m_LayoutExtra = 78;
    int m_unit = m_LayoutUnit;  // the images' unit as laid out (FitHeight)
    int m_maxHeight = 0;        // 0: no bound
    std::array<CameraImageWindow*, 11> m_windows{};
    QLabel* m_status = nullptr;
    QComboBox* m_visionType = nullptr;  // 1033
    QComboBox* m_dsCameras = nullptr;   // 1074
    QSlider* m_contrastSlider = nullptr;
    QSlider* m_brightnessSlider = nullptr;
    QLineEdit* m_frameSizeEdit = nullptr;
    QLineEdit* m_contrastEdit = nullptr;
    QLineEdit* m_brightnessEdit = nullptr;
    QCheckBox* m_binary = nullptr;
    QTimer* m_timer0 = nullptr;
    QTimer* m_timer1 = nullptr;
    // Live frames waiting for the user-interface thread: at most one in flight.
    std::shared_ptr<std::atomic<bool>> m_livePending;
    // The live view's size as laid out: frames are drawn for it pixel for pixel, so
    // its one-pixel cross-hair is never scaled away (read by the grab thread).
    struct LiveSize {
        std::atomic<int> width{416}, height{312};
    };
    std::shared_ptr<LiveSize> m_liveSize = std::make_shared<LiveSize>();
    std::shared_ptr<std::atomic<bool>> m_alive;
    long long m_lastTick = 0;
    int m_lastCaptured = 0, m_displayCount = 0, m_lastDisplayCount = 0;
    cv::Mat m_GlobalImage;  // g_GlobalImage: the user-interface thread's display holder
};

} // namespace smt
