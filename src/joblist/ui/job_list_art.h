// Our own artwork for the job lists: the 11 row images (20 x 20, with a mask)
// and the run toolbar's 11 button images (60 x 24), drawn once.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <vector>

namespace smt {

// Shared by the three lists; index = the row image number.
const std::vector<QPixmap>& RowImages();
// Index = toolbar position 0..10.
const std::vector<QIcon>& ToolBarImages();

} // namespace smt
