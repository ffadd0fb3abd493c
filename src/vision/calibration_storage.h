// The reader of a lens-calibration file in the two text forms of OpenCV's
// storage writer (XML and YAML). Our own rather than OpenCV's reader: that one
// crashes or spins for ever on some damaged files, and a damaged file must only
// be refused. It reads what a calibration file holds: top-level scalars and
// maps of scalars and number lists; comments and other nodes pass unread.
#pragma once

#include <map>
#include <string>

#include <opencv2/core.hpp>

namespace smt {

// A scalar as written (`quoted` when the file wrote it as a string), or the
// items of a number list separated by single blanks (`isList`).
struct StoredValue {
    std::string text;
    bool quoted = false;
    bool isList = false;
};

// A top-level node: a value, or (`isMap`) a map of values by name.
struct StoredNode {
    bool isMap = false;
    StoredValue value;
    std::map<std::string, StoredValue> fields;
};

// The top-level nodes of `bytes` by name (the first of each name), or false when
// the bytes are not a well-formed file of either form.
bool ParseCalibrationStorage(const std::string& bytes, std::map<std::string, StoredNode>& nodes);

// A scalar that is one number, as an int (a real is rounded); false otherwise.
bool StoredInt(const StoredValue& value, int& out);

// An OpenCV matrix node (rows, cols, dt "d" or "f", data) of at most `maxCells`
// values, as a single-channel matrix of doubles; false when the node is not one.
bool StoredMatrix(const StoredNode& node, int maxCells, cv::Mat& out);

} // namespace smt
