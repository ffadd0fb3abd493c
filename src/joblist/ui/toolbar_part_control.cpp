#include "joblist/ui/toolbar_part_control.h"

#include "joblist/ui/job_list_art.h"

namespace smt {

namespace {
constexpr const char* kTexts[tool::Count] = {"Pcb Edit", "Strategy", "Start", "Pause", "Regain", "Stop",
                                             "Pcb Clamp", "Find", "Compare", "Update", "Smt Dis"};
constexpr QSize kImageSize(60, 24);
} // namespace

CToolBarPartControl::CToolBarPartControl(QWidget* parent) : QWidget(parent) {
    setObjectName("CToolBarPartControl");
    setProperty("controlId", tool::ControlId);
}

const char* CToolBarPartControl::ButtonText(int commandId) {
    const int position = commandId - tool::First;
    return position >= 0 && position < tool::Count ? kTexts[position] : "";
}

bool CToolBarPartControl::Create() {
    if (!m_buttons.empty()) return false;
    const auto& images = ToolBarImages();
    for (int position = 0; position < tool::Count; ++position) {
        const int id = tool::First + position;
        auto* b = new QToolButton(this);
        b->setObjectName(QString("tool%1").arg(id));
        b->setProperty("commandId", id);
        b->setText(ButtonText(id));
        b->setToolTip(ButtonText(id));
        b->setIcon(images[position]);
        b->setIconSize(kImageSize);
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setAutoRaise(true);  // flat
        connect(b, &QToolButton::clicked, this, [this, id] {
            if (m_OnCommand) m_OnCommand(id);
        });
        m_buttons.push_back(b);
    }
    LayOut(width(), true);
    return true;
}

QToolButton* CToolBarPartControl::Button(int commandId) const {
    const int position = commandId - tool::First;
    return position >= 0 && position < static_cast<int>(m_buttons.size()) ? m_buttons[position] : nullptr;
}

void CToolBarPartControl::EnableButton(int commandId, bool enabled) {
    if (QToolButton* b = Button(commandId)) b->setEnabled(enabled);
}

bool CToolBarPartControl::IsButtonEnabled(int commandId) const {
    const QToolButton* b = Button(commandId);
    return b && b->isEnabled();
}

int CToolBarPartControl::LayOut(int width, bool place) const {
    // Buttons run left to right and wrap to a new row where the width ends.
    int x = 0, y = 0, rowHeight = 0;
    for (QToolButton* b : m_buttons) {
        const QSize s = b->sizeHint();
        if (x > 0 && x + s.width() > width) {
            x = 0;
            y += rowHeight;
            rowHeight = 0;
        }
        if (place) b->setGeometry(x, y, s.width(), s.height());
        x += s.width();
        rowHeight = std::max(rowHeight, s.height());
    }
    return y + rowHeight;
}

int CToolBarPartControl::heightForWidth(int width) const { return LayOut(width, false); }

QSize CToolBarPartControl::sizeHint() const {
    int w = 0;
    for (QToolButton* b : m_buttons) w += b->sizeHint().width();
    return {w, LayOut(w, false)};
}

void CToolBarPartControl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayOut(width(), true);
}

} // namespace smt
