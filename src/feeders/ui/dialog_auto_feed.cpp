#include "feeders/ui/dialog_auto_feed.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/captions.h"
#include "base/command_ids.h"
#include "base/hooks.h"
#include "feeders/auto_feed.h"
#include "feeders/feed_operation.h"
#include "link/busy.h"
#include "base/ui/field_text.h"

using namespace smt;

namespace {

QString Caption(const char* key) {
    return QString::fromStdString(TheAutoFeedCaptions().Text(std::string("AutoFeed.") + key));
}

// The edits: control, caption key, bounds.
struct EditDef {
    int id;
    const char* captionKey;
    int low, high;
    std::atomic<int> AutoFeed::*member;
};
const EditDef kEdits[] = {
    {1039, "c_Feed_Times", 1, 10, &AutoFeed::m_Feed_Times},
    {1040, "c_Open_Length", 0, 1000, &AutoFeed::m_Open_Length},
    {1023, "c_Feed_Delay", 0, 10000, &AutoFeed::m_Feed_Delay},
    {1042, "c_Close_Length", 0, 1000, &AutoFeed::m_Close_Length},
    {1024, "c_FeedBack_Delay", 0, 65535, &AutoFeed::m_FeedBack_Delay},
};

// Image 1 of the grid: a marked feeder.
QIcon MarkedIcon() {
    static const QIcon icon = [] {
        QPixmap p(32, 32);
        p.fill(Qt::transparent);
        QPainter g(&p);
        g.setRenderHint(QPainter::Antialiasing);
        g.setBrush(QColor(0, 160, 60));
        g.setPen(Qt::NoPen);
        g.drawEllipse(4, 4, 24, 24);
        g.setPen(QPen(Qt::white, 4));
        g.drawLine(10, 17, 15, 22);
        g.drawLine(15, 22, 23, 10);
        return QIcon(p);
    }();
    return icon;
}


} // namespace

CDialogAutoFeed::CDialogAutoFeed(QWidget* parent) : QDialog(parent) {
    setObjectName("CDialogAutoFeed");
    auto* root = new QVBoxLayout(this);

    auto* whole = new QGroupBox(this);
    whole->setObjectName("c_WholeFeedSet");
    m_captioned["c_WholeFeedSet"] = whole;
    auto* wholeGrid = new QGridLayout(whole);
    auto addEdit = [&](QGridLayout* grid, const EditDef& e, int row, int col, QWidget* owner) {
        auto* label = new QLabel(owner);
        label->setObjectName(QString("label_") + e.captionKey);
        m_captioned[e.captionKey] = label;
        auto* edit = new QLineEdit(owner);
        edit->setObjectName(QString("edit_%1").arg(e.id));
        edit->setMaximumWidth(90);
        m_edits[e.id] = edit;
        grid->addWidget(label, row, col);
        grid->addWidget(edit, row, col + 1);
    };
    addEdit(wholeGrid, kEdits[0], 0, 0, whole);
    addEdit(wholeGrid, kEdits[1], 0, 2, whole);
    addEdit(wholeGrid, kEdits[2], 1, 0, whole);
    addEdit(wholeGrid, kEdits[3], 1, 2, whole);
    root->addWidget(whole);

    auto* autoBox = new QGroupBox(this);
    autoBox->setObjectName("c_AutoFeedSet");
    m_captioned["c_AutoFeedSet"] = autoBox;
    auto* autoLayout = new QVBoxLayout(autoBox);
    m_grid = new QTableWidget(kAutoFeedRows, kAutoFeedColumns + 1, autoBox);
    m_grid->setObjectName("grid_1000");
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionMode(QAbstractItemView::NoSelection);
    m_grid->verticalHeader()->hide();
    m_grid->setIconSize(QSize(14, 14));
    QStringList headers{"||||||------"};
    for (int c = 1; c <= kAutoFeedColumns; ++c) headers << QString::number(c);
    m_grid->setHorizontalHeaderLabels(headers);
    m_grid->setColumnWidth(0, 80);
    for (int c = 1; c <= kAutoFeedColumns; ++c) m_grid->setColumnWidth(c, 44);
    m_grid->setMinimumWidth(80 + 44 * kAutoFeedColumns + 6);
    m_grid->setMinimumHeight(m_grid->horizontalHeader()->sizeHint().height() + 6 * 30 + 6);
    for (int r = 0; r < kAutoFeedRows; ++r) m_grid->setRowHeight(r, 30);
    connect(m_grid, &QTableWidget::cellClicked, this, &CDialogAutoFeed::OnClickGrid);
    autoLayout->addWidget(m_grid);
    auto* back = new QGridLayout;
    addEdit(back, kEdits[4], 0, 0, autoBox);
    back->setColumnStretch(2, 1);
    autoLayout->addLayout(back);
    root->addWidget(autoBox);

    auto* end = new QHBoxLayout;
    auto* ok = new QPushButton(this);
    ok->setObjectName("IDOK");
    ok->setDefault(true);
    auto* cancel = new QPushButton(this);
    cancel->setObjectName("IDCANCEL");
    m_captioned["c_IDOK"] = ok;
    m_captioned["c_IDCANCEL"] = cancel;
    connect(ok, &QPushButton::clicked, this, &CDialogAutoFeed::accept);
    connect(cancel, &QPushButton::clicked, this, &CDialogAutoFeed::reject);
    end->addStretch();
    end->addWidget(ok);
    end->addWidget(cancel);
    root->addLayout(end);
    ApplyLanguage();
}

QLineEdit* CDialogAutoFeed::Edit(int id) const {
    auto it = m_edits.find(id);
    return it == m_edits.end() ? nullptr : it->second;
}

void CDialogAutoFeed::LoadConfig(const std::string& startFolder) {
    LoadAutoFeedConfig(TheAutoFeed(), ConfigFilePath(startFolder));
}

bool CDialogAutoFeed::SaveConfig(const std::string& startFolder) const {
    return SaveAutoFeedConfig(TheAutoFeed(), ConfigFilePath(startFolder));
}

void CDialogAutoFeed::LoadLanguage(const std::string& startFolder, const std::string& language) {
    TheAutoFeedCaptions().Load(startFolder, language);
    ApplyLanguage();
}

void CDialogAutoFeed::ApplyLanguage() {
    setWindowTitle(Caption("c_AutoFeed"));
    for (auto& [key, w] : m_captioned) {
        const QString text = Caption(key.c_str());
        if (auto* l = qobject_cast<QLabel*>(w)) l->setText(text);
        else if (auto* b = qobject_cast<QPushButton*>(w)) b->setText(text);
        else if (auto* g = qobject_cast<QGroupBox*>(w)) g->setTitle(text);
    }
}

void CDialogAutoFeed::OnInitDialog() {
    ShowGrid();
    ApplyLanguage();
    const AutoFeed& a = TheAutoFeed();
    for (const EditDef& e : kEdits) m_edits[e.id]->setText(ui::NumberText((a.*e.member).load()));
}

void CDialogAutoFeed::ShowGrid() {
    const AutoFeed& a = TheAutoFeed();
    for (int r = 0; r < kAutoFeedRows; ++r) {
        auto* number = new QTableWidgetItem(QString::number(r + 1));
        m_grid->setItem(r, 0, number);
        for (int c = 1; c <= kAutoFeedColumns; ++c) {
            const int n = AutoFeederAt(r, c);
            auto* item = new QTableWidgetItem(QString::number(n));
            item->setTextAlignment(Qt::AlignCenter);
            if (a.Marked(n)) item->setIcon(MarkedIcon());
            m_grid->setItem(r, c, item);
        }
    }
}

void CDialogAutoFeed::OnClickGrid(int row, int column) {
    // Connected and idle; the request moves nothing, so no homing is needed.
    BusyClaim claim = ClaimMachineAction(false);
    if (!claim) return;
    if (row < 0 || row >= kAutoFeedRows || column < 0 || column > kAutoFeedColumns) return;
    AutoFeed& a = TheAutoFeed();
    if (column == 0) a.ToggleRow(row);
    else a.ToggleFeeder(AutoFeederAt(row, column));
    ShowGrid();
    const auto& start = TheFeedOperationPort().start;
    if (!start) {
        ReportNotAvailable("FeedOperationPort.start");
        return;
    }
    start(kFeedOpAutoFeed, std::move(claim));
}

void CDialogAutoFeed::accept() {
    int values[std::size(kEdits)];
    for (std::size_t i = 0; i < std::size(kEdits); ++i) {
        const EditDef& e = kEdits[i];
        double v = 0;
        if (!ui::TakeNumber(m_edits[e.id], v, std::make_pair(double(e.low), double(e.high)))) return;
        values[i] = static_cast<int>(v);
    }
    AutoFeed& a = TheAutoFeed();
    for (std::size_t i = 0; i < std::size(kEdits); ++i) (a.*kEdits[i].member) = values[i];
    QDialog::accept();
}
