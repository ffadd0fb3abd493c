#include "feeders/ui/library_list_view.h"

#include <QHeaderView>

namespace smt::ui {

QTableWidget* NewLibraryList(QWidget* parent, int columns) {
    auto* list = new QTableWidget(0, columns, parent);
    list->setObjectName("list");
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->verticalHeader()->hide();
    list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // A right click selects the row as a left click does.
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(list, &QWidget::customContextMenuRequested, list, [list](const QPoint& at) {
        const int row = list->rowAt(at.y());
        if (row >= 0) emit list->cellClicked(row, list->columnAt(at.x()));
    });
    list->setStyleSheet("QTableWidget { background: rgb(240, 250, 250); }");
    return list;
}

void FillStripedList(QTableWidget* list, const std::vector<std::vector<std::string>>& rows) {
    list->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const QColor back = r % 2 == 0 ? QColor(225, 250, 250) : QColor(240, 250, 250);
        for (int c = 0; c < list->columnCount() && c < static_cast<int>(rows[r].size()); ++c) {
            auto* item = new QTableWidgetItem(QString::fromStdString(rows[r][c]));
            item->setBackground(back);
            item->setForeground(Qt::black);
            list->setItem(r, c, item);
        }
    }
}

} // namespace smt::ui
