#include "base/ui/column_fit.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QHeaderView>
#include <QPointer>
#include <QStyle>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace smt {

namespace {

// One per view (its child): the least widths, the widest value seen per column,
// and what was last applied (to tell the operator's own widths from ours).
class ColumnFitter : public QObject {
public:
    explicit ColumnFitter(QTableView& view) : QObject(&view), m_view(view) {
        setObjectName("columnFitter");
        // Fonts and styles settle when the view is first shown: measure again then.
        view.installEventFilter(this);
        view.horizontalHeader()->installEventFilter(this);
        TakeLeastWidths();
        Follow(view.model());
        Schedule(true);
    }

    void Refit() {
        TakeLeastWidths();
        Schedule(true);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::Show: case QEvent::Polish: case QEvent::FontChange: case QEvent::StyleChange:
            Schedule(true);
            break;
        case QEvent::Paint:
            // Some captions follow the machine type without telling the view.
            if (watched == m_view.horizontalHeader() && HeaderNeeds() != m_header) Schedule(false);
            break;
        default: break;
        }
        return false;
    }

    std::vector<int> HeaderNeeds() const {
        const QHeaderView* header = m_view.horizontalHeader();
        std::vector<int> needs(header->count(), 0);
        if (header->isHidden()) return needs;
        for (int c = 0; c < header->count(); ++c) needs[c] = header->sectionSizeHint(c);
        return needs;
    }

private:
    void TakeLeastWidths() {
        const int n = m_view.model() ? m_view.model()->columnCount() : 0;
        m_least.resize(n);
        m_applied.resize(n);
        for (int c = 0; c < n; ++c) m_least[c] = m_applied[c] = m_view.columnWidth(c);
    }

    void Follow(QAbstractItemModel* model) {
        if (!model) return;
        m_model = model;
        connect(model, &QAbstractItemModel::headerDataChanged, this, [this] { Schedule(false); });
        connect(model, &QAbstractItemModel::modelReset, this, [this] { Schedule(true); });
        connect(model, &QAbstractItemModel::layoutChanged, this, [this] { Schedule(false); });
        connect(model, &QAbstractItemModel::rowsInserted, this,
                [this](const QModelIndex&, int first, int last) { MarkRows(first, last); });
        connect(model, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex& tl, const QModelIndex& br) { MarkRows(tl.row(), br.row()); });
        connect(model, &QAbstractItemModel::columnsInserted, this, [this](const QModelIndex&, int first, int last) {
            // New columns take the width the view gives them as their least.
            for (int c = first; c <= last; ++c) {
                m_least.insert(m_least.begin() + std::min<int>(c, m_least.size()), m_view.columnWidth(c));
                m_applied.insert(m_applied.begin() + std::min<int>(c, m_applied.size()), m_view.columnWidth(c));
            }
            Schedule(true);
        });
        connect(model, &QAbstractItemModel::columnsRemoved, this, [this](const QModelIndex&, int first, int last) {
            for (int c = last; c >= first; --c) {
                if (c < static_cast<int>(m_least.size())) m_least.erase(m_least.begin() + c);
                if (c < static_cast<int>(m_applied.size())) m_applied.erase(m_applied.begin() + c);
            }
            Schedule(true);
        });
    }

    void MarkRows(int first, int last) {
        if (first < 0) return;
        if (m_firstRow < 0) m_firstRow = first, m_lastRow = last;
        else m_firstRow = std::min(m_firstRow, first), m_lastRow = std::max(m_lastRow, last);
        Schedule(false);
    }

    // Changes come in bursts (a table filled cell by cell): one pass after them.
    void Schedule(bool allRows) {
        m_allRows = m_allRows || allRows;
        if (m_scheduled) return;
        m_scheduled = true;
        QPointer<ColumnFitter> self(this);
        QTimer::singleShot(0, this, [self] {
            if (self) self->Apply();
        });
    }

    int CellWidth(const QModelIndex& ix, const QFontMetrics& viewMetrics, int margin) const {
        const QString text = ix.data(Qt::DisplayRole).toString();
        const QVariant font = ix.data(Qt::FontRole);
        const QFontMetrics fm = font.isValid() ? QFontMetrics(font.value<QFont>()) : viewMetrics;
        int textWidth = 0;
        if (!text.isEmpty())
            for (const QString& line : text.split('\n')) textWidth = std::max(textWidth, fm.horizontalAdvance(line));
        int w = textWidth + 2 * margin;
        if (ix.data(Qt::DecorationRole).isValid()) w += m_view.iconSize().width() + 2 * margin;
        return w;
    }

    void Measure(int firstRow, int lastRow) {
        QAbstractItemModel* model = m_view.model();
        const int columns = model->columnCount();
        m_values.resize(columns, 0);
        const QFontMetrics fm = m_view.fontMetrics();
        // The item's text stands inside a focus margin on each side.
        const int margin = m_view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &m_view) + 1;
        const int grid = m_view.showGrid() ? 1 : 0;
        lastRow = std::min(lastRow, model->rowCount() - 1);
        for (int r = std::max(0, firstRow); r <= lastRow; ++r)
            for (int c = 0; c < columns; ++c) {
                if (c < static_cast<int>(m_least.size()) && m_least[c] <= 0) continue;
                m_values[c] = std::max(m_values[c], CellWidth(model->index(r, c), fm, margin) + grid + 2);
            }
    }

    void Apply() {
        m_scheduled = false;
        QAbstractItemModel* model = m_view.model();
        if (!model) return;
        if (model != m_model) {  // a new model: follow it and measure it whole
            if (m_model) disconnect(m_model, nullptr, this, nullptr);
            Follow(model);
            TakeLeastWidths();
            m_allRows = true;
        }
        const int columns = model->columnCount();
        if (static_cast<int>(m_least.size()) < columns) {
            for (int c = static_cast<int>(m_least.size()); c < columns; ++c) {
                m_least.push_back(m_view.columnWidth(c));
                m_applied.push_back(m_view.columnWidth(c));
            }
        }
        if (m_allRows) {
            m_values.assign(columns, 0);
            Measure(0, model->rowCount() - 1);
        } else if (m_firstRow >= 0) {
            Measure(m_firstRow, m_lastRow);
        }
        m_allRows = false;
        m_firstRow = m_lastRow = -1;
        m_values.resize(columns, 0);
        QHeaderView* header = m_view.horizontalHeader();
        m_header = HeaderNeeds();
        for (int c = 0; c < columns; ++c) {
            // A column given no width is one the window does not show.
            if (m_least[c] <= 0 || m_view.isColumnHidden(c)) continue;
            // Columns the header sizes itself are left to it.
            const QHeaderView::ResizeMode mode = header->sectionResizeMode(c);
            if (mode == QHeaderView::Stretch || mode == QHeaderView::ResizeToContents) continue;
            if (header->stretchLastSection() && header->visualIndex(c) == header->count() - 1) continue;
            int target = std::max(m_least[c], m_values[c]);
            if (c < static_cast<int>(m_header.size())) target = std::max(target, m_header[c]);
            const int now = m_view.columnWidth(c);
            if (now == target) {
                m_applied[c] = target;
                continue;
            }
            if (now > target && now != m_applied[c]) continue;  // widened by the operator
            m_view.setColumnWidth(c, target);
            m_applied[c] = target;
        }
    }

    QTableView& m_view;
    QPointer<QAbstractItemModel> m_model;
    std::vector<int> m_least, m_applied, m_values, m_header;
    int m_firstRow = -1, m_lastRow = -1;
    bool m_allRows = false, m_scheduled = false;
};

ColumnFitter* FitterOf(QTableView& view) {
    return dynamic_cast<ColumnFitter*>(view.findChild<QObject*>("columnFitter", Qt::FindDirectChildrenOnly));
}

} // namespace

void FitColumnsToText(QTableView& view) {
    if (!FitterOf(view)) new ColumnFitter(view);
}

void RefitColumns(QTableView& view) {
    if (ColumnFitter* f = FitterOf(view)) f->Refit();
    else new ColumnFitter(view);
}

} // namespace smt
