#include "machine_ops/ui/dialog_position_limit_detour.h"

#include "base/captions.h"
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QShowEvent>
#include <QVBoxLayout>

#include "platform/files.h"
#include "machine_ops/ui/dialog_set_basic_parts.h"
#include "base/ui/field_text.h"

using D = smt::PositionLimitDetour;

CDialogPositionLimitDetour::CDialogPositionLimitDetour(QWidget* parent)
    : QDialog(parent), m_startFolder(plat::CurrentDirectory()) {
    setObjectName("CDialogPositionLimitDetour");
    auto* root = new QVBoxLayout(this);
    auto edit = [this](QWidget* parent, const char* name, double D::*member) {
        auto* e = new QLineEdit(parent);
        e->setObjectName(name);
        m_lengths.push_back({e, member});
        return e;
    };
    // One group per corner: a limit row (X, Y) and a detour row (X, Y).
    auto corner = [&](const char* caption, QCheckBox*& use, const char* useName, const char* limitX,
                      double D::*mLimitX, const char* limitY, double D::*mLimitY, const char* detourX,
                      double D::*mDetourX, const char* detourY, double D::*mDetourY) {
        auto* box = new QGroupBox(this);
        auto* grid = new QGridLayout(box);
        if (useName) {
            use = new QCheckBox(box);
            use->setObjectName(useName);
            use->setProperty("captionKey", caption);
            grid->addWidget(use, 0, 0, 1, 4);
        } else {
            box->setObjectName(caption);
        }
        grid->addWidget(new QLabel("X", box), 1, 0);
        grid->addWidget(edit(box, limitX, mLimitX), 1, 1);
        grid->addWidget(new QLabel("Y", box), 1, 2);
        grid->addWidget(edit(box, limitY, mLimitY), 1, 3);
        if (detourX) {
            grid->addWidget(smt::ui::KeyLabel("c_DetourPosition_X", box), 2, 0);
            grid->addWidget(edit(box, detourX, mDetourX), 2, 1);
            grid->addWidget(smt::ui::KeyLabel("c_DetourPosition_Y", box), 2, 2);
            grid->addWidget(edit(box, detourY, mDetourY), 2, 3);
        }
        root->addWidget(box);
    };
    corner("c_W_S_PositionLimitDetour", m_southWest, "m_W_S_PositionLimitPositionDetour", "m_W_S_LessPosition_dX",
           &D::m_W_S_LessPosition_dX, "m_W_S_LessPosition_dY", &D::m_W_S_LessPosition_dY, "m_W_S_Detour_dX",
           &D::m_W_S_Detour_dX, "m_W_S_Detour_dY", &D::m_W_S_Detour_dY);
    corner("c_E_S_PositionLimitDetour", m_southEast, "m_E_S_PositionLimitPositionDetour", "m_E_S_LessPosition_dX",
           &D::m_E_S_LessPosition_dX, "m_E_S_LessPosition_dY", &D::m_E_S_LessPosition_dY, "m_E_S_Detour_dX",
           &D::m_E_S_Detour_dX, "m_E_S_Detour_dY", &D::m_E_S_Detour_dY);
    QCheckBox* none = nullptr;
    corner("c_E_N_PositionLimitDetour", none, nullptr, "m_E_N_LessPosition_dX", &D::m_E_N_LessPosition_dX,
           "m_E_N_LessPosition_dY", &D::m_E_N_LessPosition_dY, nullptr, nullptr, nullptr, nullptr);
    root->addWidget(smt::ui::OkCancelButtons(this));
}

void CDialogPositionLimitDetour::showEvent(QShowEvent* event) {
    // A window restored by the system keeps what the operator typed.
    if (event->spontaneous()) return QDialog::showEvent(event);
    ShowMembers();
    ApplyLanguage();
    QDialog::showEvent(event);
}

void CDialogPositionLimitDetour::ApplyLanguage() {
    const smt::DialogCaptions& captions = smt::TheDetourCaptions();
    smt::ui::ApplyKeyCaptions(*this, captions, "PositionLimitDetour.");
    setWindowTitle(QString::fromStdString(captions.Text("PositionLimitDetour.c_PositionLimitDetour")));
    for (QCheckBox* use : {m_southWest, m_southEast})
        use->setText(QString::fromStdString(
            captions.Text("PositionLimitDetour." + use->property("captionKey").toString().toStdString())));
}

void CDialogPositionLimitDetour::ShowMembers() {
    const D& d = smt::ThePositionLimitDetour();
    m_southWest->setChecked(d.m_W_S_PositionLimitPositionDetour != 0);
    m_southEast->setChecked(d.m_E_S_PositionLimitPositionDetour != 0);
    for (const LengthField& f : m_lengths) f.edit->setText(smt::ui::NumberText(d.*f.member));
}

void CDialogPositionLimitDetour::accept() {
    D taken = smt::ThePositionLimitDetour();
    taken.m_W_S_PositionLimitPositionDetour = m_southWest->isChecked() ? 1 : 0;
    taken.m_E_S_PositionLimitPositionDetour = m_southEast->isChecked() ? 1 : 0;
    for (const LengthField& f : m_lengths)
        if (!smt::ui::TakeNumber(f.edit, taken.*f.member)) return;
    smt::ThePositionLimitDetour() = taken;
    const std::string path = plat::JoinPath(m_startFolder, "config.ini");
    if (!smt::ReportConfigWrite(smt::SavePositionLimitDetourConfig(taken, path), path)) return;
    QDialog::accept();
}
