// Coordinate files whose lines hold long runs of separators (a damaged export, a
// file of another kind): every reader and the layout-fit check take memory near
// the file's size whatever the run, and read the rows around such a line as they
// read them around a short one.
#include <gtest/gtest.h>

#include <string>

#include "joblist/cad_layouts.h"
#include "alloc_probe.h"

using namespace smt;
namespace alloc = smt::test::alloc;

namespace {

// What reading and fitting `text` as layout `format` cost at most at once.
std::int64_t PeakOf(int format, const std::string& text) {
    alloc::StartCounting();
    {
        const CadReadResult r = CadReaderFor(format)(text);
        (void)CheckCadFit(format, text);
    }
    alloc::StopCounting();
    return alloc::PeakBytes();
}

// A file of the layout's header, a good part line, the line under test and
// another good part line, in each separator the layouts use.
std::string FileWith(const std::string& line, char sep) {
    const std::string s(1, sep);
    const std::string part = "R1" + s + "0603" + s + "1.5" + s + "2.5" + s + "90" + s + "10k" + s + "T";
    std::string text;
    for (int i = 0; i < 13; ++i) text += "header line\r\n";
    text += "\r\n\r\n\r\n\r\n";
    return text + part + "\r\n" + line + "\r\n" + part + "\r\n";
}

} // namespace

TEST(CadSeparatorRuns, LongRunsOfEverySeparatorCostMemoryNearTheFileSize) {
    // About 54 bytes a tab were once taken by the reader and again by the fit check.
    constexpr std::size_t kRun = 100000;
    const char seps[] = {'\t', ',', ';', ' ', '!', '"'};
    for (char sep : seps) {
        const std::string run(kRun, sep);
        // A run alone, a run between words, and words between single separators.
        std::string words;
        for (std::size_t i = 0; words.size() < kRun; ++i) words += "w" + std::string(1, sep);
        for (const std::string& line : {run, "R9" + run + "1" + run + "2", words}) {
            for (int format = 0; format < kImportFormatCount; ++format) {
                SCOPED_TRACE("separator " + std::to_string(int(sep)) + ", layout " + std::to_string(format) +
                             ", line of " + std::to_string(line.size()) + " bytes starting " + line.substr(0, 4));
                const std::string text = FileWith(line, sep == '"' ? '\t' : sep);
                const std::int64_t peak = PeakOf(format, text);
                // The text, its decoded copy and a cell or two of the line.
                EXPECT_LT(peak, static_cast<std::int64_t>(6 * text.size()) + (1 << 20)) << "peak " << peak;
            }
        }
    }
}

TEST(CadSeparatorRuns, RowsAroundALongRunReadAsAroundAShortOne) {
    for (char sep : {'\t', ',', ';', ' '}) {
        for (int format = 0; format < kImportFormatCount; ++format) {
            SCOPED_TRACE("separator " + std::to_string(int(sep)) + ", layout " + std::to_string(format));
            const CadReadResult shortRun = CadReaderFor(format)(FileWith(std::string(3, sep), sep));
            const CadReadResult longRun = CadReaderFor(format)(FileWith(std::string(300000, sep), sep));
            EXPECT_EQ(longRun.rows, shortRun.rows);
            EXPECT_EQ(longRun.skipped, shortRun.skipped);
            EXPECT_EQ(CheckCadFit(format, FileWith(std::string(300000, sep), sep)),
                      CheckCadFit(format, FileWith(std::string(3, sep), sep)));
        }
    }
}
