// Table columns as wide as their captions and the values they show: a column
// keeps the width it was given as its least, and grows when a caption (a
// language switch) or a value needs more, so no header or number is cut off.
#pragma once

class QTableView;

namespace smt {

// Takes the view's current column widths as the least widths and follows its
// model from then on: captions at every header change, values of the rows
// inserted, changed or reset. A column the operator widened stays as wide.
// Call after the model is set and the least widths are given.
void FitColumnsToText(QTableView& view);

// Fits the view's columns once more, measuring every row again (after the
// columns were given new least widths, for example).
void RefitColumns(QTableView& view);

} // namespace smt
