#include "joblist/ui/dialog_two_mark_test.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <array>
#include <cstdlib>

#include "base/captions.h"
#include "base/numtext.h"
#include "joblist/cad_two_mark.h"
#include "platform/msgbox.h"

namespace smt {

namespace {

using C = DoubleMarkTestConfig;
struct FieldBinding {
    int id;
    double C::*member;
};
constexpr std::array<FieldBinding, 16> kFields{{
    {1005, &C::m_Origin_X},          {1006, &C::m_Origin_Y},          {1007, &C::m_Mark1_X},
    {1008, &C::m_Mark1_Y},           {1009, &C::m_Mark2_X},           {1010, &C::m_Mark2_Y},
    {1016, &C::m_Coordinate_X},      {1017, &C::m_Coordinate_Y},      {1011, &C::m_SetMark1Offset_X},
    {1012, &C::m_SetMark1Offset_Y},  {1013, &C::m_SetMark2Offset_X},  {1014, &C::m_SetMark2Offset_Y},
    {1020, &C::m_Mark2_Mark1_A_Old}, {1021, &C::m_Mark2_Mark1_A_New}, {1018, &C::m_GetCoordinate_X},
    {1019, &C::m_GetCoordinate_Y},
}};

// A whole number text, as a numeric field accepts it.
bool ParseNumber(const QString& text, double& value) {
    const std::string s = text.trimmed().toStdString();
    if (s.empty()) return false;
    char* end = nullptr;
    value = std::strtod(s.c_str(), &end);
    return end && *end == '\0';
}

} // namespace

CDialogDoubleMarkTest::CDialogDoubleMarkTest(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("两个Mark点坐标修改测试"));
    for (const FieldBinding& f : kFields) m_fields[f.id] = new QLineEdit(this);
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("原点                Mark1                Mark2            元件坐标"), this),
                    0, 1, 1, 4);
    const int first[2][4] = {{1005, 1007, 1009, 1016}, {1006, 1008, 1010, 1017}};
    const int second[2][3] = {{1011, 1013, 1018}, {1012, 1014, 1019}};
    for (int r = 0; r < 2; ++r) {
        grid->addWidget(new QLabel(r == 0 ? "X" : "Y", this), 1 + r, 0);
        for (int c = 0; c < 4; ++c) grid->addWidget(m_fields[first[r][c]], 1 + r, 1 + c);
    }
    grid->addWidget(new QLabel(QStringLiteral("预设Mark1偏差   Mark2测试        元件坐标"), this), 3, 1, 1, 3);
    for (int r = 0; r < 2; ++r) {
        grid->addWidget(new QLabel(r == 0 ? "X" : "Y", this), 4 + r, 0);
        for (int c = 0; c < 3; ++c) grid->addWidget(m_fields[second[r][c]], 4 + r, 1 + c);
    }
    grid->addWidget(new QLabel(QStringLiteral("测出原始A"), this), 6, 0);
    grid->addWidget(m_fields[1020], 6, 1);
    grid->addWidget(new QLabel(QStringLiteral("测出新的A"), this), 6, 2);
    grid->addWidget(m_fields[1021], 6, 3);
    m_test = new QPushButton(QStringLiteral("测试"), this);
    grid->addWidget(m_test, 6, 4);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
    connect(m_test, &QPushButton::clicked, this, [this] { OnTest(); });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { OnOK(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QLineEdit* CDialogDoubleMarkTest::Field(int id) const {
    const auto it = m_fields.find(id);
    return it == m_fields.end() ? nullptr : it->second;
}

void CDialogDoubleMarkTest::OnInitDialog(const std::string& startFolder) {
    m_startFolder = startFolder;
    const DoubleMarkTestConfig& c = TheDoubleMarkTestConfig();
    for (const FieldBinding& f : kFields) m_fields[f.id]->setText(QString::fromStdString(FormatC("%.15g", c.*f.member)));
}

bool CDialogDoubleMarkTest::TakeFields(DoubleMarkTestConfig& into) {
    DoubleMarkTestConfig taken = into;
    for (const FieldBinding& f : kFields) {
        if (!ParseNumber(m_fields[f.id]->text(), taken.*f.member)) {
            plat::MessageBoxOk("Please enter a number.", false, plat::MsgIcon::Warning);
            m_fields[f.id]->setFocus();
            m_fields[f.id]->selectAll();
            return false;
        }
    }
    into = taken;
    return true;
}

void CDialogDoubleMarkTest::OnTest() {
    DoubleMarkTestConfig& c = TheDoubleMarkTestConfig();
    if (!TakeFields(c)) return;
    const TwoMarkResult r = RunTwoMarkTest(c);
    if (r.tooShort) {
        plat::MessageBoxOk(kMarksTooCloseText, true);
        return;
    }
    m_fields[1020]->setText(QString::fromStdString(FormatMm(r.angleOld)));
    m_fields[1021]->setText(QString::fromStdString(FormatMm(r.angleNew)));
    m_fields[1018]->setText(QString::fromStdString(FormatMm(r.x)));
    m_fields[1019]->setText(QString::fromStdString(FormatMm(r.y)));
}

void CDialogDoubleMarkTest::OnOK() {
    DoubleMarkTestConfig& c = TheDoubleMarkTestConfig();
    if (!TakeFields(c)) return;
    SaveDoubleMarkTestConfig(c, ConfigFilePath(m_startFolder));
    accept();
}

} // namespace smt
