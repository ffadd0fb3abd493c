#include "vision/ui/dialogsetview.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QWheelEvent>

#include <cstdio>

#include "base/globals.h"
#include "base/numtext.h"
#include "platform/camera_sdk.h"
#include "platform/msgbox.h"
#include "platform/uipost.h"
#include "vision/camera_ds.h"
#include "vision/camera_service.h"
#include "vision/result_slots.h"
#include "vision/set_view.h"
#include "vision/ui/mat_image.h"

namespace smt {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

// ---- display window ------------------------------------------------------------------

CameraImageWindow::CameraImageWindow(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CameraImageWindow::SetImage(const cv::Mat& frame) {
    m_image = MatToQImage(frame).copy();
    update();
}

void CameraImageWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!m_image.isNull()) p.drawImage(rect(), m_image);
    else p.fillRect(rect(), m_live ? QColor(24, 24, 24) : palette().color(QPalette::Window));
}

void CameraImageWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit clicked(event->position().toPoint());
}

void CameraImageWindow::wheelEvent(QWheelEvent* event) { emit wheeled(event->angleDelta().y()); }

// ---- panel -----------------------------------------------------------------------------

CDialogSetView::CDialogSetView(const std::string& startFolder, const std::string& language, QWidget* parent)
    : QWidget(parent),
      m_startFolder(startFolder),
      m_livePending(std::make_shared<std::atomic<bool>>(false)),
      m_alive(std::make_shared<std::atomic<bool>>(true)) {
    setObjectName("CDialogSetView");
    SetView& p = TheSetView();
    p.LoadConfig(startFolder);
    p.LoadLanguage(startFolder, language);
    Build();
    LayoutPanel();
    ApplyLanguage();
    RefreshControls();
    if (g_HighSpeedCamera == 1) {
        TheCameraService().InitCameras(p.m_Language == 0 ? 1 : 0);
        m_timer0->start(1000);
    } else {
        TheCameraService().StartDisplay();
    }
}

CDialogSetView::~CDialogSetView() {
    *m_alive = false;
    TheCameraService().Shutdown();
    // Only what shows on this panel: the rest of the service's hooks belong to the wiring.
    CameraService::Hooks& h = TheCameraService().hooks();
    h.liveFrame = nullptr;
    h.showResult = nullptr;
    TheSetView().view() = {};
}

QPushButton* CDialogSetView::Button(int id, const QString& text) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QStringLiteral("c%1").arg(id));
    return b;
}

QLineEdit* CDialogSetView::Edit(int id) {
    auto* e = new QLineEdit(this);
    e->setObjectName(QStringLiteral("c%1").arg(id));
    return e;
}

QLabel* CDialogSetView::Label(int id) {
    auto* l = new QLabel(this);
    l->setObjectName(QStringLiteral("c%1").arg(id));
    return l;
}

void CDialogSetView::Build() {
    static const int ids[11] = {1080, 1082, 1083, 1084, 1085, 1087, 1088, 1089, 1090, 1073, 1081};
    for (int i = 0; i < 11; ++i) {
        m_windows[i] = new CameraImageWindow(this);
        m_windows[i]->setObjectName(QStringLiteral("c%1").arg(ids[i]));
    }
    m_windows[9]->SetLiveView(true);
    SetView& p = TheSetView();
    connect(m_windows[9], &CameraImageWindow::clicked, this, [this](QPoint at) {
        TheSetView().OnLiveViewClick(at.x(), at.y(), m_windows[9]->width(), m_windows[9]->height());
    });
    connect(m_windows[9], &CameraImageWindow::wheeled, this, [](int d) { TheSetView().OnWheel(d); });

    m_status = Label(1495);
    m_status->setText("Camera describe");
    m_status->setWordWrap(true);
    for (int id : {1251, 1468, 1467, 1254, 1255}) Label(id);

    m_visionType = new QComboBox(this);
    m_visionType->setObjectName("c1033");
    connect(m_visionType, &QComboBox::currentTextChanged, this,
            [](const QString& t) { TheSetView().SetVisionTypeText(t.toStdString()); });
    m_dsCameras = new QComboBox(this);
    m_dsCameras->setObjectName("c1074");
    // With all three industrial cameras configured no ordinary camera is listed.
    if (!(g_HighSpeedCamera == 1 && g_MarkCameraOn && g_VisualCamera1On && g_VisualCamera2On))
        for (int i = 0; i < CCameraDS::CameraCount(); ++i) m_dsCameras->addItem(QString::number(i + 1));

    m_contrastSlider = new QSlider(Qt::Horizontal, this);
    m_contrastSlider->setObjectName("c1035");
    m_brightnessSlider = new QSlider(Qt::Horizontal, this);
    m_brightnessSlider->setObjectName("c1036");
    for (QSlider* s : {m_contrastSlider, m_brightnessSlider}) s->setRange(0, 255), s->setTickInterval(1);
    connect(m_contrastSlider, &QSlider::valueChanged, this, [](int v) { TheSetView().OnContrastSlider(v); });
    connect(m_brightnessSlider, &QSlider::valueChanged, this, [](int v) { TheSetView().OnBrightnessSlider(v); });
    // One light command more when the brightness slider is let go.
    connect(m_brightnessSlider, &QSlider::sliderReleased, this,
            [this] { TheSetView().OnChangeBrightness(std::to_string(m_brightnessSlider->value())); });

    m_frameSizeEdit = Edit(SetView::kFrameSizeEdit);
    m_contrastEdit = Edit(SetView::kContrastEdit);
    m_brightnessEdit = Edit(SetView::kBrightnessEdit);
    connect(m_frameSizeEdit, &QLineEdit::textEdited, this,
            [](const QString& t) { TheSetView().OnChangeVisualSize(t.toStdString()); });
    connect(m_contrastEdit, &QLineEdit::textEdited, this, [this](const QString& t) {
        if (TheSetView().OnChangeContrast(t.toStdString())) RefreshControls();
    });
    connect(m_brightnessEdit, &QLineEdit::textEdited, this, [this](const QString& t) {
        if (TheSetView().OnChangeBrightness(t.toStdString())) RefreshControls();
    });

    m_binary = new QCheckBox(this);
    m_binary->setObjectName("c1556");
    connect(m_binary, &QCheckBox::toggled, this, [](bool on) { TheSetView().m_BinaryImg = on ? 1 : 0; });

    connect(Button(1072, {}), &QPushButton::clicked, this, [this] { OnBnClickedOpenCamera(); });
    connect(Button(1075, {}), &QPushButton::clicked, this, [] { TheSetView().OnBnClickedVisionTest(); });
    auto* snapshot = Button(1076, "Test");
    snapshot->hide();
    connect(snapshot, &QPushButton::clicked, this, [this] { TheSetView().SnapshotTest(m_startFolder); });
    connect(Button(1077, {}), &QPushButton::clicked, this, [] { TheSetView().OnBnClickedMarkCamera(); });
    connect(Button(1078, {}), &QPushButton::clicked, this, [] { TheSetView().OnBnClickedVisualCamera1(); });
    connect(Button(1079, {}), &QPushButton::clicked, this, [] { TheSetView().OnBnClickedVisualCamera2(); });
    connect(Button(1086, {}), &QPushButton::clicked, this, [] { TheSetView().OnBnClickedVisualCameraB(); });
    connect(Button(1220, QString::fromUtf8("∨")), &QPushButton::clicked, this, [this] { OnHeightToggle(); });
    connect(Button(1221, {}), &QPushButton::clicked, this, [this] { OnBnClickedExtendedDisplay(); });
    connect(Button(1563, "+"), &QPushButton::clicked, this, [] { TheSetView().ZoomIn(); });
    connect(Button(1564, "-"), &QPushButton::clicked, this, [] { TheSetView().ZoomOut(); });

    m_timer0 = new QTimer(this);
    m_timer1 = new QTimer(this);
    connect(m_timer0, &QTimer::timeout, this, [this] { OnTimer(); });
    connect(m_timer1, &QTimer::timeout, this, [this] { OnTimer(); });
    (void)p;
}

void CDialogSetView::FillPanelHooks() {
    QPointer<CDialogSetView> self(this);
    auto alive = m_alive;
    auto post = [self, alive](std::function<void(CDialogSetView&)> f) {
        plat::PostToUi([self, alive, f] {
            if (*alive && self) f(*self);
        });
    };
    SetView::ViewHooks& v = TheSetView().view();
    v.refreshControls = [post] { post([](CDialogSetView& d) { d.RefreshControls(); }); };
    v.refuseEdit = [post](int control) { post([control](CDialogSetView& d) { d.Refuse(control); }); };
    v.setTimer1 = [post](int ms) { post([ms](CDialogSetView& d) { d.SetTimer1(ms); }); };

    CameraService::Hooks& h = TheCameraService().hooks();
    auto pending = m_livePending;
    auto liveSize = m_liveSize;
    h.liveFrame = [post, pending, liveSize](int camera, const cv::Mat& frame) {
        // The newest frame only: a frame arriving while one waits for the screen is dropped.
        if (pending->exchange(true)) return;
        const SetView& p = TheSetView();
        const cv::Size size(liveSize->width.load(), liveSize->height.load());
        cv::Mat view = p.LiveViewImage(frame, camera == kVisionCamera2 && p.m_Undistort, size);
        post([view, pending](CDialogSetView& d) {
            *pending = false;
            d.m_windows[9]->SetImage(view);
            ++d.m_displayCount;
        });
    };
    h.showResult = [post](int slot, const cv::Mat& image) {
        post([slot, image](CDialogSetView& d) {
            d.m_GlobalImage = image;
            d.m_windows[slot]->SetImage(d.m_GlobalImage);
        });
    };
}

QSize CDialogSetView::sizeHint() const {
    const int u = m_LayoutUnit;
    return {5 * u + m_LayoutMargin, 4 * u + m_LayoutBase + (m_Expanded ? m_LayoutExtra : 0)};
}

int CDialogSetView::FitHeight(int maxHeight) {
    m_maxHeight = maxHeight;
    LayoutPanel();
    return height();
}

void CDialogSetView::LayoutPanel() {
    const int below = m_LayoutBase + (m_Expanded ? m_LayoutExtra : 0);
    m_unit = m_maxHeight > 0 ? std::clamp((m_maxHeight - below) / 4, m_LayoutUnit / 2, m_LayoutUnit) : m_LayoutUnit;
    // Heights shrink with the room; widths keep the panel's width, so the images
    // always fill it (the live view maps a click by its own width and height).
    const int u = m_unit, uw = m_LayoutUnit;
    const int panelWidth = 5 * m_LayoutUnit + m_LayoutMargin;
    const bool type4 = g_MachineType == 4;
    auto place = [&](QWidget* w, int l, int t, int r, int b) { w->setGeometry(l, t, r - l + 1, b - t + 1); };
    place(m_windows[0], 1, 0, uw, u - 1);
    for (int k = 1; k <= 4; ++k) place(m_windows[k], k * uw + 1, 0, k == 4 ? panelWidth - 2 : (k + 1) * uw, u - 1);
    place(m_windows[5], 1, 0, uw, u - 1);
    for (int k = 6; k <= 8; ++k) place(m_windows[k], 1, (k - 5) * u, uw, (k - 4) * u - 1);
    if (type4) {
        // The second live view shares the column's width with the first.
        const int liveH = 212 * u / m_LayoutUnit;
        place(m_windows[9], 1, u, 4 * uw + 1, u + liveH);
        place(m_windows[10], 4 * uw + 2, u, panelWidth - 2, u + liveH);
    } else {
        place(m_windows[9], uw + 1, u, panelWidth - 2, 4 * u);
    }
    m_windows[10]->setVisible(type4);
    // On type 4 the live view covers the left column: its result windows would only
    // stick out below it, over the controls.
    if (!m_ExtendedDisplay)
        for (int k = 6; k <= 8; ++k) m_windows[k]->setVisible(!type4);
    m_liveSize->width = m_windows[9]->width();
    m_liveSize->height = m_windows[9]->height();
    const int base = type4 ? u + 212 * u / m_LayoutUnit : 4 * u;
    auto fit = [](QWidget* w) { return std::max(30, w->sizeHint().width()); };

    // First row, always shown: camera choice, vision test, zoom, extended display, height.
    int x = 1;
    for (int id : {1077, 1078, 1079, 1075, 1221, 1563, 1564, 1220}) {
        auto* b = findChild<QPushButton*>(QStringLiteral("c%1").arg(id));
        const int w = id == 1563 || id == 1564 || id == 1220 ? 26 : fit(b);
        b->setGeometry(x, base + 3, w, 26);
        x += w + 2;
    }
    // The expanded rows: ordinary cameras, image feature, binary image; light; status.
    auto row = [&](int y, std::initializer_list<QWidget*> widgets) {
        int left = 1;
        for (QWidget* w : widgets) {
            int width = fit(w);
            if (qobject_cast<QSlider*>(w)) width = 126;
            if (qobject_cast<QLineEdit*>(w)) width = 46;
            if (w == m_visionType) width = std::min(150, fit(w));
            w->setGeometry(left, y, width, 24);
            left += width + 4;
        }
    };
    auto* b1086 = findChild<QPushButton*>("c1086");
    row(base + 32, {findChild<QLabel*>("c1251"), m_dsCameras, findChild<QPushButton*>("c1072"),
                    findChild<QLabel*>("c1468"), m_visionType, m_binary});
    row(base + 58, {findChild<QLabel*>("c1254"), m_contrastSlider, m_contrastEdit, findChild<QLabel*>("c1467"),
                    m_frameSizeEdit, b1086});
    row(base + 84, {findChild<QLabel*>("c1255"), m_brightnessSlider, m_brightnessEdit});
    m_status->setGeometry(1, base + 110, panelWidth - 2, 30);
    b1086->setVisible(g_MachineType == 5 && m_Expanded);
    resize(panelWidth, 4 * u + below);
}

void CDialogSetView::OnHeightToggle() {
    m_Expanded = !m_Expanded;
    findChild<QPushButton*>("c1220")->setText(m_Expanded ? QString::fromUtf8("∧") : QString::fromUtf8("∨"));
    LayoutPanel();
    if (onHeightChanged) onHeightChanged(sizeHint().height());
}

void CDialogSetView::ApplyLanguage() {
    const SetView& p = TheSetView();
    const std::pair<const char*, int> captions[] = {
        {"c1251", kTxtSelectCamera},     {"c1468", kTxtFeature},          {"c1556", kTxtBinaryImg},
        {"c1467", kTxtVisualSize},       {"c1254", kTxtLightContrast},    {"c1255", kTxtLightBrightness},
        {"c1072", kTxtOpenOrCloseCamera}, {"c1221", kTxtExternShow},      {"c1075", kTxtVisionTest},
        {"c1077", kTxtOpenMarkCamera},   {"c1078", kTxtOpenVisualCamera1}, {"c1079", kTxtOpenVisualCamera2},
        {"c1086", kTxtOpenVisualCameraB},
    };
    for (const auto& [name, text] : captions) {
        QWidget* w = findChild<QWidget*>(name);
        if (auto* l = qobject_cast<QLabel*>(w)) l->setText(Q(p.Text(text)));
        if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(Q(p.Text(text)));
    }
    findChild<QPushButton*>("c1072")->setText(Q(p.Text(p.DsCamerasOpen() ? kTxtCloseCamera : kTxtOpenCamera)));
    {
        const QSignalBlocker block(m_visionType);
        const int index = std::max(0, m_visionType->currentIndex());
        m_visionType->clear();
        for (const std::string& c : p.VisionTypeCaptions()) m_visionType->addItem(Q(c));
        m_visionType->setCurrentIndex(index);
    }
    TheSetView().SetVisionTypeText(m_visionType->currentText().toStdString());
    LayoutPanel();
}

void CDialogSetView::LoadLanguage(const std::string& startFolder, const std::string& language) {
    TheSetView().LoadLanguage(startFolder, language);
    ApplyLanguage();
}

void CDialogSetView::RefreshControls() {
    const SetView& p = TheSetView();
    const QSignalBlocker b1(m_contrastSlider), b2(m_brightnessSlider), b3(m_binary);
    if (!m_frameSizeEdit->hasFocus()) m_frameSizeEdit->setText(Q(FormatC("%0.2f", p.m_VisualSize.load())));
    if (!m_contrastEdit->hasFocus()) m_contrastEdit->setText(QString::number(p.m_Light_Contrast.load()));
    if (!m_brightnessEdit->hasFocus()) m_brightnessEdit->setText(QString::number(p.m_Light_Brightness.load()));
    m_contrastSlider->setValue(p.m_Light_Contrast);
    m_brightnessSlider->setValue(p.m_Light_Brightness);
    m_binary->setChecked(p.m_BinaryImg != 0);
    if (const int i = m_visionType->findText(Q(p.VisionTypeText())); i >= 0 && i != m_visionType->currentIndex()) {
        const QSignalBlocker b4(m_visionType);
        m_visionType->setCurrentIndex(i);
    }
    auto* open = findChild<QPushButton*>("c1072");
    open->setText(Q(p.Text(p.DsCamerasOpen() ? kTxtCloseCamera : kTxtOpenCamera)));
    open->setEnabled(!(g_HighSpeedCamera == 1 && g_MarkCameraOn && g_VisualCamera1On && g_VisualCamera2On));
}

void CDialogSetView::Refuse(int control) {
    auto* e = findChild<QLineEdit*>(QStringLiteral("c%1").arg(control));
    if (!e) return;
    e->setFocus();
    e->selectAll();
}

void CDialogSetView::SetTimer1(int ms) {
    if (ms <= 0) m_timer1->stop();
    else m_timer1->start(ms);
}

void CDialogSetView::OnBnClickedOpenCamera() {
    SetView& p = TheSetView();
    const bool anyClear = !g_MarkCameraOn || !g_VisualCamera1On || !g_VisualCamera2On;
    if (g_HighSpeedCamera == 0) p.OpenCamera(false, m_dsCameras->count(), m_dsCameras->currentIndex());
    else if (g_HighSpeedCamera == 1 && anyClear) p.OpenCamera(true, m_dsCameras->count(), m_dsCameras->currentIndex());
    m_windows[0]->setVisible(true);
    RefreshControls();
}

void CDialogSetView::OnBnClickedExtendedDisplay() {
    SetView& p = TheSetView();
    if (!p.HasLiveSource()) return;
    const int camera = g_CurrentCamera;
    const int slot = camera == kMarkCamera ? kMarkResultSlot : p.m_ResultSlot.load();
    if (slot < 0 || slot > 8) return;
    const cv::Mat image = VisionResults().Latest(slot);
    if (image.empty()) return;
    m_ExtendedDisplay = !m_ExtendedDisplay;
    if (m_ExtendedDisplay) {
        TheCameraService().PauseCamera(camera);
        m_windows[slot]->setGeometry(m_windows[9]->geometry());
        m_windows[slot]->show();
        m_windows[slot]->raise();
        m_windows[9]->hide();
    } else {
        if (plat::CameraHandle h = TheCameraService().Handle(camera)) plat::CameraPlay(h);
        LayoutPanel();
        m_windows[9]->show();
    }
    m_GlobalImage = image;
    m_windows[slot]->SetImage(m_GlobalImage);
}

void CDialogSetView::OnTimer() {
    if (g_HighSpeedCamera == 0) RefreshDirectShowView();
    else if (g_HighSpeedCamera == 1) UpdateCameraStatus();
}

void CDialogSetView::RefreshDirectShowView() {
    SetView& p = TheSetView();
    if (!p.DsCameraOpen(p.m_DsCameraIndex)) return;
    const cv::Mat frame = p.QueryDsFrame(p.m_DsCameraIndex);
    if (!frame.empty() && !m_ExtendedDisplay) {
        m_windows[9]->SetImage(p.LiveViewImage(frame, g_CurrentCamera == kVisionCamera2 && p.m_Undistort,
                                               cv::Size(m_windows[9]->width(), m_windows[9]->height())));
        ++m_displayCount;
    }
    if (p.m_ImageSizePending.exchange(false)) p.m_ImageWidth = 640, p.m_ImageHeight = 480;
}

void CDialogSetView::UpdateCameraStatus() {
    const int camera = g_CurrentCamera;
    const std::string name = CameraFriendlyName(camera);
    if (!CameraSdkFlag(camera)) {
        m_status->setText(Q(name));
        RefreshDirectShowView();
        return;
    }
    const plat::CameraHandle h = TheCameraService().Handle(camera);
    if (!h) {
        m_status->setText(Q(name));
        return;
    }
    // A picture that stopped changing is no live view: the line says so until
    // frames come again (the camera's source went away, or the camera hangs).
    if (!m_ExtendedDisplay && TheCameraService().PictureStale(camera)) {
        m_status->setText(Q(name + " | " + TheSetView().NoPictureText(camera)));
        m_lastTick = 0;
        return;
    }
    plat::CameraFrameStatistic stat;
    plat::CameraGetFrameStatistic(h, &stat);
    const long long now = QDateTime::currentMSecsSinceEpoch();
    if (now != m_lastTick && m_lastTick) {
        const double elapsed = static_cast<double>(now - m_lastTick);
        const double capture = (stat.captured - m_lastCaptured) * 1000.0 / elapsed;
        const double display = (m_displayCount - m_lastDisplayCount) * 1000.0 / elapsed;
        const plat::CameraFrameHead head = TheCameraService().LastHead(camera);
        char b[200];
        std::snprintf(b, sizeof b, "%s | Size:%d*%d | Display FPS:%4.2f | Capture FPS:%4.2f", name.c_str(),
                      head.width, head.height, display, capture);
        m_status->setText(b);
        SetView& p = TheSetView();
        if (head.width > 0 && p.m_ImageSizePending.exchange(false)) p.m_ImageWidth = head.width, p.m_ImageHeight = head.height;
    }
    m_lastTick = now;
    m_lastCaptured = stat.captured;
    m_lastDisplayCount = m_displayCount;
}

} // namespace smt
