#include "vision/ui/dialog_camera_edit.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/captions.h"
#include "base/numtext.h"
#include "link/position_counters.h"
#include "platform/msgbox.h"
#include "settings/pulse_settings.h"
#include "base/ui/field_text.h"
#include "vision/camera_panel_port.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

constexpr int kCorrX[8] = {1117, 1122, 1124, 1126, 1128, 1129, 1130, 1131};
constexpr int kCorrY[8] = {1118, 1123, 1125, 1127, 1132, 1133, 1134, 1135};

struct IntField {
    int id;
    int smt::CameraEditValues::*member;
    int low, high;
};
constexpr IntField kInts[] = {
    {1232, &smt::CameraEditValues::Light_Contrast, 0, 255},  {1030, &smt::CameraEditValues::Light_Brightness, 0, 255},
    {1031, &smt::CameraEditValues::CorrectionTimes, 0, 20},  {1032, &smt::CameraEditValues::Precision_XY, 0, 10},
    {1033, &smt::CameraEditValues::Precision_A, 0, 30},      {1036, &smt::CameraEditValues::CollectTime, 20, 10000}};

bool TakeInt(QLineEdit* e, int& value, int low, int high, bool quiet) {
    int v = 0;
    if (quiet) {
        v = smt::AtoI(e->text().toStdString());
    } else if (!smt::ui::TakeNumber(e, v)) {
        return false;
    }
    if (v < low || v > high) {
        if (!quiet) {
            plat::MessageBoxOk(smt::InputIntegerBetweenText(low, high));
            e->setFocus();
            e->selectAll();
        }
        return false;
    }
    value = v;
    return true;
}

void Focus(QLineEdit* e) {
    e->setFocus();
    e->selectAll();
}

} // namespace

CDialogCameraEdit::CDialogCameraEdit(smt::CameraList& list, QWidget* parent) : QDialog(parent), m_list(list) {
    setObjectName("CDialogCameraEdit");
    auto* top = new QVBoxLayout(this);
    auto* head = new QGridLayout;
    auto label = [this](const std::string& key) {
        auto* l = new QLabel(this);
        l->setObjectName(Q(key));
        m_labels[key] = l;
        return l;
    };
    head->addWidget(label("CameraEdit.c_CameraName"), 0, 0);
    head->addWidget(AddEdit(1114), 0, 1);
    m_edits[1114]->setReadOnly(true);
    m_edits[1114]->setEnabled(false);
    head->addWidget(label("CameraEdit.c_CameraXCoordinates"), 1, 0);
    head->addWidget(AddEdit(1115), 1, 1);
    head->addWidget(new QLabel("mm", this), 1, 2);
    auto* getX = new QPushButton("X", this);
    getX->setObjectName("1221");
    head->addWidget(getX, 1, 3);
    head->addWidget(label("CameraEdit.c_CameraYCoordinates"), 2, 0);
    head->addWidget(AddEdit(1116), 2, 1);
    head->addWidget(new QLabel("mm", this), 2, 2);
    auto* getY = new QPushButton("Y", this);
    getY->setObjectName("1222");
    head->addWidget(getY, 2, 3);
    connect(getX, &QPushButton::clicked, this, &CDialogCameraEdit::OnBnClickedGetX);
    connect(getY, &QPushButton::clicked, this, &CDialogCameraEdit::OnBnClickedGetY);
    top->addLayout(head);

    m_correction = new QGroupBox(this);
    auto* corr = new QGridLayout(m_correction);
    corr->addWidget(label("CameraEdit.c_RectifyX"), 0, 1);
    corr->addWidget(label("CameraEdit.c_RectifyY"), 0, 2);
    for (int h = 0; h < 8; ++h) {
        corr->addWidget(new QLabel(QString("A%1").arg(h + 1), m_correction), h + 1, 0);
        corr->addWidget(AddEdit(kCorrX[h]), h + 1, 1);
        corr->addWidget(AddEdit(kCorrY[h]), h + 1, 2);
        corr->addWidget(new QLabel("mm", m_correction), h + 1, 3);
    }
    corr->addWidget(label("CameraEdit.c_RectifyAngle"), 9, 0);
    corr->addWidget(AddEdit(1010), 9, 1);
    corr->addWidget(new QLabel("°", m_correction), 9, 2);
    top->addWidget(m_correction);

    m_vision = new QGroupBox(this);
    auto* vis = new QGridLayout(m_vision);
    const std::pair<const char*, int> rows[] = {
        {"CameraEdit.c_VisualZoom", 1119}, {"CameraEdit.c_VisualSize", 1006},     {"CameraEdit.c_Contrast", 1232},
        {"CameraEdit.c_Brightness", 1030}, {"CameraEdit.c_CorrectionTimes", 1031}, {"CameraEdit.c_Precision_XY", 1032},
        {"CameraEdit.c_Precision_A", 1033}, {"CameraEdit.c_CollectPictureTime", 1036}};
    int r = 0;
    for (const auto& [key, id] : rows) {
        vis->addWidget(label(key), r, 0);
        vis->addWidget(AddEdit(id), r, 1);
        if (id == 1006) vis->addWidget(new QLabel("mm", m_vision), r, 2);
        if (id == 1036) vis->addWidget(new QLabel("ms", m_vision), r, 2);
        if (id == 1032 || id == 1033) {
            QLineEdit* mm = AddEdit(id == 1032 ? 1034 : 1035);
            mm->setEnabled(false);
            vis->addWidget(mm, r, 2);
            vis->addWidget(new QLabel(id == 1032 ? "mm" : "°", m_vision), r, 3);
        }
        ++r;
    }
    top->addWidget(m_vision);

    auto* buttons = new QHBoxLayout;
    m_Ok = new QPushButton(this);
    m_Cancel = new QPushButton(this);
    buttons->addStretch();
    buttons->addWidget(m_Ok);
    buttons->addWidget(m_Cancel);
    top->addLayout(buttons);
    connect(m_Ok, &QPushButton::clicked, this, &CDialogCameraEdit::accept);
    connect(m_Cancel, &QPushButton::clicked, this, &CDialogCameraEdit::reject);

    connect(m_edits[1119], &QLineEdit::textChanged, this, &CDialogCameraEdit::OnZoomChanged);
    connect(m_edits[1006], &QLineEdit::textChanged, this, &CDialogCameraEdit::OnSizeChanged);
    connect(m_edits[1232], &QLineEdit::textChanged, this, [this] { OnLightChanged(1232); });
    connect(m_edits[1030], &QLineEdit::textChanged, this, [this] { OnLightChanged(1030); });
    connect(m_edits[1032], &QLineEdit::textChanged, this, [this](const QString& t) {
        m_values.Precision_XY = smt::AtoI(t.toStdString());
        m_edits[1034]->setText(Q(smt::PulsesAsMm(m_values.Precision_XY, smt::ThePulseFactors().m_X_Pulse)));
    });
    connect(m_edits[1033], &QLineEdit::textChanged, this, [this](const QString& t) {
        m_values.Precision_A = smt::AtoI(t.toStdString());
        m_edits[1035]->setText(Q(smt::PulsesAsMm(m_values.Precision_A, smt::ThePulseFactors().m_A_Pulse)));
    });
    ApplyTexts();
}

QLineEdit* CDialogCameraEdit::AddEdit(int id) {
    auto* e = new QLineEdit(this);
    e->setObjectName(QString::number(id));
    e->setMinimumWidth(90);
    m_edits[id] = e;
    return e;
}

QLineEdit* CDialogCameraEdit::Field(int id) const {
    auto it = m_edits.find(id);
    return it == m_edits.end() ? nullptr : it->second;
}

void CDialogCameraEdit::ApplyTexts() {
    const smt::DialogCaptions& t = m_list.m_EditTexts;
    setWindowTitle(Q(t.Text("CameraEdit.c_CameraEdit")));
    for (auto& [key, l] : m_labels) l->setText(Q(t.Text(key)));
    m_correction->setTitle(Q(t.Text("CameraEdit.c_VisionCorrection")));
    m_vision->setTitle(Q(t.Text("CameraEdit.c_VisualPreferencesSet")));
    m_Ok->setText(Q(t.Text("CameraEdit.c_IDOK")));
    m_Cancel->setText(Q(t.Text("CameraEdit.c_IDCANCEL")));
}

void CDialogCameraEdit::OnInitDialog() {
    const smt::CameraEditValues v = m_values;
    m_edits[1114]->setText(Q(v.m_CameraName));
    m_edits[1115]->setText(Q(smt::FormatMm(v.X)));
    m_edits[1116]->setText(Q(smt::FormatMm(v.Y)));
    for (int h = 0; h < 8; ++h) {
        m_edits[kCorrX[h]]->setText(Q(smt::FormatMm(v.corrections[2 * h])));
        m_edits[kCorrY[h]]->setText(Q(smt::FormatMm(v.corrections[2 * h + 1])));
    }
    m_edits[1010]->setText(Q(smt::FormatMm(v.angle)));
    m_edits[1119]->setText(smt::ui::NumberText(v.VisualZoom));
    m_edits[1006]->setText(smt::ui::NumberText(v.VisualSize));
    for (const IntField& f : kInts) m_edits[f.id]->setText(smt::ui::NumberText(v.*f.member));

    const auto& panel = smt::TheCameraPanelPort();
    if (panel.selectVisionCamera) {
        if (v.m_CameraName == smt::kCamera1Name) panel.selectVisionCamera(1);
        else if (v.m_CameraName == smt::kCamera2Name) panel.selectVisionCamera(2);
    }
    ApplyTexts();
    smt::CameraEditValues taken = m_values;
    TakeFields(taken, false);  // the range prompt only: the dialog opens all the same
    m_edits[1034]->setText(Q(smt::PulsesAsMm(m_values.Precision_XY, smt::ThePulseFactors().m_X_Pulse)));
    m_edits[1035]->setText(Q(smt::PulsesAsMm(m_values.Precision_A, smt::ThePulseFactors().m_A_Pulse)));
}

bool CDialogCameraEdit::WindowCheckFails() const {
    const auto& p = smt::TheCameraPanelPort();
    const int high = p.highSpeedCamera ? p.highSpeedCamera() : 0;
    const int current = p.currentCamera ? p.currentCamera() : 0;
    std::array<bool, 3> on{};
    for (int c = 0; c < 3; ++c) on[c] = p.cameraSwitchOn && p.cameraSwitchOn(c);
    if (!smt::WindowCheckApplies(high, current, on)) return false;
    const int height = p.imageHeight && p.imageHeight() > 0 ? p.imageHeight() : 480;
    return smt::WindowTooLarge(smt::AtoF(m_edits.at(1119)->text().toStdString()),
                               smt::AtoF(m_edits.at(1006)->text().toStdString()), height);
}

void CDialogCameraEdit::ReportWindowTooLarge() {
    plat::MessageBoxOk(m_list.m_EditTexts.Text("CameraEdit.c_Message_03"));
    Focus(m_edits[1006]);
}

void CDialogCameraEdit::OnZoomChanged() {
    if (WindowCheckFails()) {
        ReportWindowTooLarge();
        Focus(m_edits[1119]);
        return;
    }
    if (const auto& f = smt::TheCameraPanelPort().setVisionScale) f(smt::AtoF(m_edits[1119]->text().toStdString()));
}

void CDialogCameraEdit::OnSizeChanged() {
    if (WindowCheckFails()) {
        ReportWindowTooLarge();
        return;
    }
    if (const auto& f = smt::TheCameraPanelPort().setFrameSize) f(smt::AtoF(m_edits[1006]->text().toStdString()));
}

void CDialogCameraEdit::OnLightChanged(int id) {
    const int value = smt::AtoI(m_edits[id]->text().toStdString());
    if (value < 0 || value > 255) {
        Focus(m_edits[id]);
        return;
    }
    const auto& p = smt::TheCameraPanelPort();
    if (const auto& f = id == 1232 ? p.setContrast : p.setBrightness) f(value);
}

void CDialogCameraEdit::OnBnClickedGetX() {
    m_edits[1115]->setText(Q(smt::TeachValue(smt::g_PulseX.load(), smt::ThePulseFactors().m_X_Pulse)));
}

void CDialogCameraEdit::OnBnClickedGetY() {
    m_edits[1116]->setText(Q(smt::TeachValue(smt::g_PulseY.load(), smt::ThePulseFactors().m_Y_Pulse)));
}

bool CDialogCameraEdit::TakeFields(smt::CameraEditValues& v, bool quiet) {
    auto dbl = [&](int id, double& out, std::optional<std::pair<double, double>> b = {}) {
        if (quiet) {
            out = smt::AtoF(m_edits[id]->text().toStdString());
            return true;
        }
        return smt::ui::TakeNumber(m_edits[id], out, b);
    };
    if (!dbl(1115, v.X) || !dbl(1116, v.Y)) return false;
    for (int h = 0; h < 8; ++h)
        if (!dbl(kCorrX[h], v.corrections[2 * h]) || !dbl(kCorrY[h], v.corrections[2 * h + 1])) return false;
    if (!dbl(1010, v.angle) || !dbl(1119, v.VisualZoom, std::pair{1.0, 200.0}) ||
        !dbl(1006, v.VisualSize, std::pair{1.0, 640.0}))
        return false;
    for (const IntField& f : kInts)
        if (!TakeInt(m_edits[f.id], v.*f.member, f.low, f.high, quiet)) return false;
    return true;
}

void CDialogCameraEdit::accept() {
    const smt::DialogCaptions& t = m_list.m_EditTexts;
    if (m_values.m_CameraName.empty()) {
        plat::MessageBoxOk(t.Text("CameraEdit.c_Message_01"));
        Focus(m_edits[1114]);
        return;
    }
    if (m_NameUsed && m_NameUsed(m_values.m_CameraName)) {
        plat::MessageBoxOk(t.Text("CameraEdit.c_Message_02"));
        Focus(m_edits[1114]);
        return;
    }
    if (WindowCheckFails()) {
        ReportWindowTooLarge();
        return;
    }
    smt::CameraEditValues v = m_values;
    if (!TakeFields(v, false)) return;
    m_values = v;
    QDialog::accept();
}
