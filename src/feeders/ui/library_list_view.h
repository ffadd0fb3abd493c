// What the library windows share: a striped, fully selected text list.
#pragma once

#include <QColor>
#include <QTableWidget>

#include <string>
#include <vector>

namespace smt::ui {

// Black text on RGB(225, 250, 250) for even rows and RGB(240, 250, 250) for odd ones.
void FillStripedList(QTableWidget* list, const std::vector<std::vector<std::string>>& rows);
QTableWidget* NewLibraryList(QWidget* parent, int columns);

} // namespace smt::ui
