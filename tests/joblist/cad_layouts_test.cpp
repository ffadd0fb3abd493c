// The CAD layouts: one fixture per reader, the cutting rule and the particular
// steps as one table, the decoder, and the real files of CAD programs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "base/numtext.h"
#include "joblist/cad_import.h"
#include "joblist/cad_layouts.h"
#include "platform/files.h"

using namespace smt;
using Rows = std::vector<ImportRow>;

namespace smt {
void PrintTo(CadMisfit m, std::ostream* os) {
    static const char* const kNames[] = {"None", "Header", "Designators", "Coordinates", "LastLine"};
    *os << kNames[static_cast<int>(m)];
}
} // namespace smt

namespace {

std::string Join(const Rows& rows) {
    std::string s;
    for (const ImportRow& r : rows) {
        for (const std::string& c : r) s += c + "|";
        s += "\n";
    }
    return s;
}

struct ReaderCase {
    CadReader reader;
    std::string file;
    Rows rows;
};

TEST(CadLayouts, EveryReaderCutsItsFixture) {
    const std::string h6 = "h\r\nh\r\nh\r\nh\r\nh\r\nh\r\n";
    const std::string h9 = h6 + "h\r\nh\r\nh\r\n";
    const std::string h12 = h9 + "h\r\nh\r\nh\r\n";
    const std::vector<ReaderCase> cases = {
        {ReadProtelTxt,
         "Designator Footprint\r\n\r\nR1 0805 100mil 200mil 1 2 3 4 T 90.00 10k, 1%    \r\n"
         "C2 0603 1.5mm 2.5mm 1 2 3 4 B 270.00 100nF",
         {{"R1", "0805", "100mil", "200mil", "90.00", "10k, 1%", "T"},
          {"C2", "0603", "1.5mm", "2.5mm", "270.00", "100nF", "B"}}},
        {ReadProtelPik,
         "hdr\r\n\r\nR1 0805 100mil 200mil a b c d T 90.00\r\nR2 0603 1mm 2mm a b c d B  180  \r\n"
         "R3 0603 1mm 2mm a b c d B 0",
         {{"R1", "0805", "100mil", "200mil", "90.00", "", "T"}, {"R2", "0603", "1mm", "2mm", "180  ", "", "B"}}},
        {ReadAltium20Txt,
         "Altium\r\n\r\n====\r\n\r\nUnits used: mm\r\n\r\n"
         "Designator Comment Layer Footprint Center-X(mm) Center-Y(mm) Rotation Description\r\n"
         "R1 10k TopLayer 0402 10.5 -3.25 90 \"desc\"\r\nC1 \"100nF 16V\" BottomLayer 0603 1 2 180",
         {{"R1", "0402", "10.5", "-3.25", "90", "10k", "TopLayer"},
          {"C1", "0603", "1", "2", "180", "100nF 16V", "BottomLayer"}}},
        {ReadAltium20Csv,
         h12 + "h\r\n\"10k\",\"R1\",\"0402\",\"T\",\"90\",\"1.5mm\",\"2.5mm\"\r\n\"\",\"C1\",\"0603\",\"B\",\"180\",\"3\",\"4\"",
         {{"R1", "0402", "1.5mm", "2.5mm", "90", "10k", "T"}, {"C1", "0603", "3", "4", "180", "", "B"}}},
        {ReadPowerPcbTxt, h6 + "R1,0805 , 10.5,20.5,90,10k \r\nX,SOT23 ,1,2,180,BC847",
         {{"", "0805", "10.5", "20.5", "90", "10k", ""}, {"", "SOT23", "1", "2", "180", "BC847", ""}}},
        {ReadAllegroTxt, "UUNITS = MILLIMETERS\r\n10k 1.5 2.5 90 xyz 0805 \r\nC1 26.899 38.735 0 SML2015",
         {{"", "0805", "1.5", "2.5", "90", "10k", ""}, {"C1", "SML2015", "26.899", "38.735", "0", "", ""}}},
        // the comma kind holds mils
        {ReadEagleMnt, "R1 1.5 2.5 90 10k R0805\nC1,  5,  6,Top, 270",
         {{"R1", "R0805", "1.5", "2.5", "90", "10k", ""}, {"C1", "", "0.1270", "0.1524", "270", "", "Top"}}},
        {ReadKiCadPos,
         "### x\r\n### y\r\n## Unit = mm, Angle = deg.\r\n## Side : top\r\n# Ref Val Package PosX PosY Rot Side\r\n"
         "C1 100n C_0603 1.5 -2.5 90.0 top\r\nR1 10k R_0402 3 4 0 bottom\r\n## End",
         {{"C1", "C_0603", "1.5", "-2.5", "90.0", "100n", "top"}, {"R1", "R_0402", "3", "4", "0", "10k", "bottom"}}},
        {ReadExcelCsv, "a,b,c\r\n10k,R1,0805,x,T,90,1.5,2.5\r\n100n,C1,,x,B,180,3,4",
         {{"R1", "0805", "1.5", "2.5", "90", "10k", "T"}, {"C1", "", "3", "4", "180", "100n", "B"}}},
        {ReadProteusPkp, h12 + "R1,10k,0805,TOP,90,1000,2000\r\nC1,,0603,BOTTOM,180,500,-250",
         {{"R1", "0805", "1000", "2000", "90", "10k", "TOP"}, {"C1", "0603", "500", "-250", "180", "", "BOTTOM"}}},
        {ReadMentorTxt, "h\r\n10k 0805 1.5 2.5 90 R1 x   top\r\n100n 0603 3 4 180 C1 y bottom",
         {{"R1", "0805", "1.5", "2.5", "90", "10k", "top"}, {"C1", "0603", "3", "4", "180", "100n", "bottom"}}},
        {ReadPadsTxt, "h\r\nR1\t10k\t0805\tx\tT\t90\t1.5\t2.5\r\nC1\t100n\t0603\tx\tB\t180\t3\t4",
         {{"R1", "0805", "1.5", "2.5", "90", "10k", "T"}, {"C1", "0603", "3", "4", "180", "100n", "B"}}},
        {ReadPadsTxtNew, "h\r\n0805\tR1\ta\tb\tT\t90\t1.5\t2.5\r\n0603\tC1\ta\tb\tB\t180\t3\t4",
         {{"R1", "0805", "1.5", "2.5", "90", "", "T"}, {"C1", "0603", "3", "4", "180", "", "B"}}},
        {ReadPadsCsv, "h\r\n0805,R1,a,b,T,90,1.5,2.5\r\n0603,C1,,,B,180,3,4",
         {{"R1", "0805", "1.5", "2.5", "90", "", "T"}, {"C1", "0603", "3", "4", "180", "", "B"}}},
        {ReadPads318, "R1   0805 1.5 2.5 90\r\nC1 0603 3 4  180 ",
         {{"R1", "0805", "1.5", "2.5", "90", "", ""}, {"C1", "0603", "3", "4", " 180 ", "", ""}}},
        {ReadGerbCamCsv, h9 + "R1,0805,1.5,2.5,90\r\nC1,,3,4,180",
         {{"R1", "0805", "1.5", "2.5", "90", "", ""}, {"C1", "", "3", "4", "180", "", ""}}},
        {ReadGerbCamTxt, h9 + "R1 0805 1.5 2.5 90 10k\r\nC1 0603 3 4 180 100n",
         {{"R1", "0805", "1.5", "2.5", "90", "10k", ""}, {"C1", "0603", "3", "4", "180", "100n", ""}}},
        {ReadAllegroCsv, "h\r\nR1,x,10k,0805,1.5,2.5,90\r\nC1,,,0603,3,4,180",
         {{"R1", "0805", "1.5", "2.5", "90", "10k", ""}, {"C1", "0603", "3", "4", "180", "", ""}}},
        {ReadAllegroNewTxt, "h\r\nh\r\nh\r\nh\r\nh\r\nR1 x 10k 0805 1.5 2.5 90\r\nC1 y 100n 0603 3 4 180",
         {{"R1", "0805", "1.5", "2.5", "90", "10k", ""}, {"C1", "0603", "3", "4", "180", "100n", ""}}},
        {ReadSpeedLayoutTxt, h6 + "R1;1.5;2.5;10k;x;90;0805\r\nC1;3;4;;x;180; 0603 ",
         {{"R1", "0805", "1.5", "2.5", "90", "10k", ""}, {"C1", " 0603 ", "3", "4", "180", "", ""}}},
    };
    for (const ReaderCase& c : cases) {
        const CadReadResult r = c.reader(c.file);
        EXPECT_EQ(Join(r.rows), Join(c.rows)) << c.file;
        EXPECT_EQ(r.skipped, 0) << c.file;
        // Every fixture fits its layout, but the PIK one: it ends in a part line to
        // show the drop, which is what the check says.
        int format = 0;
        while (CadReaderFor(format) != c.reader) ++format;
        EXPECT_EQ(CheckCadFit(format, c.file), format == 1 ? CadMisfit::LastLine : CadMisfit::None) << c.file;
    }
}

struct Particular {
    const char* what;
    int format;
    std::string text;
    std::vector<std::string> designators;
    int skipped = 0;
};

std::vector<std::string> Designators(const Rows& rows) {
    std::vector<std::string> v;
    for (const ImportRow& r : rows) v.push_back(r[0] + (r[2].empty() ? "" : "@" + r[2] + "," + r[3]));
    return v;
}

TEST(CadLayouts, CuttingRuleAndParticularSteps) {
    const std::string three = "R1 0805 1 2 a b c d T 0\r\nR2 0805 3 4 a b c d T 0\r\nR3 0805 5 6 a b c d T 0\r\n";
    const std::string kicadHead = "### a\r\n### b\r\n## Unit = mm\r\n## Side : top\r\n# Ref Val Package PosX PosY Rot Side\r\n";
    const std::vector<Particular> cases = {
        {"PIK drops its closing line", 1, "h\r\n\r\n" + three, {"R1@1,2", "R2@3,4"}},
        {"Protel keeps every line", 0, "h\r\n\r\n" + three, {"R1@1,2", "R2@3,4", "R3@5,6"}},
        {"no empty line: no rows", 0, "h\r\n" + three, {}},
        {"too few header lines: no rows", 16, "h\r\nh\r\nR1,0805,1,2,0\r\n", {}},
        {"KiCad up to its end marker", 8, kicadHead + "C1 1u C 1 2 0 top\r\n## End\r\nC9 1u C 9 9 0 top\r\n", {"C1@1,2"}},
        {"KiCad without end marker", 8, kicadHead + "C1 1u C 1 2 0 top\r\n", {}},
        {"Eagle with one CR LF among LF", 7, "A 1 2 0 v p\nB 3 4 0 v p\r\nC 5 6 0 v p\n", {"A@1,2", "B@3,4", "C@5,6"}},
        {"a lone CR ends a line", 15, "A p 1 2 0\rB p 3 4 0\r", {"A@1,2", "B@3,4"}},
        {"LF ends a line in every layout", 0, "h\n\nA p 1 2 a b c d T 0 v\nB p 3 4 a b c d T 0 v\n", {"A@1,2", "B@3,4"}},
        {"blank lines give no rows", 9, "h\r\n\r\n  \r\nv,A,p,x,T,0,1,2\r\n\r\n", {"A@1,2"}},
        {"Altium20.csv line without its opening quote", 4,
         "h\r\nh\r\nh\r\nh\r\nh\r\nh\r\nh\r\nh\r\nh\r\nh\r\nh\r\nh\r\nh\r\n10k\",\"A\",\"p\",\"T\",\"0\",\"1\",\"2\"\r\n",
         {"A@1,2"}},
        {"a trailing comma still reads Y", 9, "h\r\nv,A,p,x,T,0,1,2,\r\n", {"A@1,2"}},
        {"lines without numbers are passed over", 9, "h\r\nv,A,p,x,T,0,1,2\r\ntotal,,,,,,,\r\n", {"A@1,2"}, 1},
        {"columns by name", 9, "Ref,Val,Package,PosX,PosY,Rot,Side\r\nA,1k,R0402,1.5,-2,90,top\r\n", {"A@1.5,-2"}},
        {"JLC names after a header block", 9,
         "Altium,,,\r\nUnits used: mm,,,\r\nDesignator,Comment,Layer,Footprint,Mid X,Mid Y,Rotation\r\n"
         "R9,\"RES, 1%\",TopLayer,0402,25.5270mm,14.6050mm,0\r\n",
         {"R9@25.5270mm,14.6050mm"}},
        {"header unit mil converts bare numbers", 3,
         "t\r\n\r\n=\r\n\r\nUnits used: mil\r\n\r\nDesignator Comment Layer Footprint Center-X(mil) Center-Y(mil) "
         "Rotation\r\nR1 x T f 1000 -500 90\r\n",
         {"R1@25.4000,-12.7000"}},
        {"KiCad inches", 8,
         "### a\r\n### b\r\n## Unit = inches, Angle = deg.\r\n## Side : top\r\n# Ref Val Package PosX PosY Rot Side\r\n"
         "C1 1u C 1 -0.5 0 top\r\n## End\r\n",
         {"C1@25.4000,-12.7000"}},
        {"a mil number where the import keeps text", 4,
         "\"Designator\",\"Footprint\",\"Mid X\",\"Mid Y\",\"Rotation\"\r\n\"\"\r\n\"R1\",\"f\",\"1000mil\",\"500mil\",\"0\"\r\n",
         {"R1@25.4000,12.7000"}},
    };
    for (const Particular& c : cases) {
        const CadReadResult r = ReadCadText(c.format, c.text);
        EXPECT_EQ(Designators(r.rows), c.designators) << c.what;
        EXPECT_EQ(r.skipped, c.skipped) << c.what;
    }
}

// Lines that the layouts' plain recipes cut wrongly: each cell where its author put it.
TEST(CadLayouts, LinesReadAsTheirAuthorsMeantThem) {
    const std::string kicadHead =
        "### a\r\n### b\r\n## Unit = mm, Angle = deg.\r\n## Side : top\r\n"
        "# Ref     Val              Package        PosX       PosY       Rot  Side\r\n";
    const struct {
        const char* what;
        int format;
        std::string text;
        Rows rows;
    } cases[] = {
        {"Eagle comma kind: mils, side before the angle", 7, "C1,  595,  315,Top,  0\nC7,  100,  -50,Bot, 90\n",
         {{"C1", "", "15.1130", "8.0010", "0", "", "Top"}, {"C7", "", "2.5400", "-1.2700", "90", "", "Bot"}}},
        {"Eagle comma kind with a long side word", 7, "U2,  870,  217,Bottom,180\r\n",
         {{"U2", "", "22.0980", "5.5118", "180", "", "Bottom"}}},
        {"Eagle: an empty value leaves the package in its cell", 7,
         "C12 16.51 66.29  90 0.1uF C0603\nC13 11.30 26.80  90  C0603\n",
         {{"C12", "C0603", "16.51", "66.29", "90", "0.1uF", ""}, {"C13", "C0603", "11.30", "26.80", "90", "", ""}}},
        {"Eagle: a value of several words", 7, "R1 1.5 -2.5 270 10k 1% R0805\n",
         {{"R1", "R0805", "1.5", "-2.5", "270", "10k 1%", ""}}},
        {"KiCad: a value with a blank", 8,
         kicadHead + "J8        Power Pins       Pin_Header_1x08   81.2800    50.8100  270.0000  top\r\n"
                     "C1        0.1u             C_0603             2.7500   -26.9000   90.0000  bottom\r\n## End\r\n",
         {{"J8", "Pin_Header_1x08", "81.2800", "50.8100", "270.0000", "Power Pins", "top"},
          {"C1", "C_0603", "2.7500", "-26.9000", "90.0000", "0.1u", "bottom"}}},
        {"KiCad: an empty value", 8, kicadHead + "TP1   \"\"   TestPoint   1.5   -3.25   0.0000  top\r\n## End\r\n",
         {{"TP1", "TestPoint", "1.5", "-3.25", "0.0000", "", "top"}}},
        {"KiCad: a line without its side word", 8, kicadHead + "R1 10k R_0402 3 4 180\r\n## End\r\n",
         {{"R1", "R_0402", "3", "4", "180", "10k", ""}}},
        {"PADS.txt: an empty value keeps the fields in place", 12,
         "h\r\nR1\t\t0805\tx\tT\t90\t1.5\t2.5\r\nC1\t100n\t\tx\tB\t180\t3\t-4\r\n",
         {{"R1", "0805", "1.5", "2.5", "90", "", "T"}, {"C1", "", "3", "-4", "180", "100n", "B"}}},
        {"PADS.txt_New: empty fields keep their places", 13, "h\r\n0805\tR1\t\t\tB\t270\t1.5\t2.5\r\n",
         {{"R1", "0805", "1.5", "2.5", "270", "", "B"}}},
        {"tab-separated named columns with an empty cell", 9,
         "Designator\tComment\tMid X\tMid Y\tRotation\r\nR1\t\t1.5\t-2\t90\r\n",
         {{"R1", "", "1.5", "-2", "90", "", ""}}},
    };
    for (const auto& c : cases) {
        const CadReadResult r = ReadCadText(c.format, c.text);
        EXPECT_EQ(Join(r.rows), Join(c.rows)) << c.what;
        EXPECT_EQ(r.skipped, 0) << c.what;
    }
}

TEST(CadLayouts, SkippedLinesNamedByNumberAndDesignator) {
    const struct {
        const char* what;
        int format;
        std::string text;
        std::vector<std::pair<int, std::string>> skipped;
    } cases[] = {
        {"CSV lines counted from the file's first line, blank lines too", 9,
         "h\r\nv,A,p,x,T,0,1,2\r\nv,X1,p,x,T,0,a,b\r\n\r\ntotal,,,,,,,\r\nv,B,p,x,T,0,3,4\r\n",
         {{3, "X1"}, {5, ""}}},
        {"after a header that names its columns", 9, "Ref,Val,Package,PosX,PosY\nR1,1k,0402,1,2\nFID1,,,x,y\n",
         {{3, "FID1"}}},
        {"the PIK report's closing line is no skipped line", 1,
         "h\r\n\r\nR1 0805 1 2 a b c d T 0\r\nR2 0805 n n a b c d T 0\r\nTotal 2\r\n", {{4, "R2"}}},
    };
    for (const auto& c : cases) {
        const CadReadResult r = ReadCadText(c.format, c.text);
        std::vector<std::pair<int, std::string>> got;
        for (const SkippedLine& s : r.skippedLines) got.emplace_back(s.line, s.designator);
        EXPECT_EQ(got, c.skipped) << c.what;
        EXPECT_EQ(r.skipped, static_cast<int>(c.skipped.size())) << c.what;
    }
}

// What a file of the chosen layout must show, on files written for this test; the
// real files follow below.
TEST(CadLayouts, FitOfTheChosenLayout) {
    const std::string allegro = "UUNITS = MILLIMETERS\r\n"
                                "C1                   26.899         38.735        0    SML2015\r\n"
                                "C4                   23.495         15.646      270    SML2015\r\n"
                                "IC3                  73.248         24.500      270    QUAD80\r\n";
    std::string allegroLong = "UUNITS = MILLIMETERS\r\n";
    for (int i = 1; i <= 12; ++i) allegroLong += FormatC("R%d   1%d.5   2%d.25   90   R0603\r\n", i, i, i);
    std::string plainCsv;
    for (int i = 1; i <= 12; ++i) plainCsv += FormatC("R%d,R0603,1%d.5,-2%d.25,90\r\n", i, i, i);
    const std::string protel = "Designator Footprint Mid X Mid Y Ref X Ref Y Pad X Pad Y TB Rotation Comment\r\n\r\n"
                               "R17 RES_0603 3200mil 2900mil 3200mil 2900mil 3200mil 2867.52mil T 90.00 10k\r\n"
                               "Q6 SOT-23 2305mil 3610mil 2305mil 3610mil 2267.598mil 3570.63mil T 90.00 MMBT3904\r\n"
                               "J1 Molex 2039mil 3196mil 2065mil 2960mil 2065mil 2960mil T 0.00 43045\r\n";
    const std::string named = "Designator,Mid X,Mid Y,Layer,Rotation\r\n\"C1\",17.34,47.86,top,0\r\n"
                              "\"R2\",8.1,44.54,top,90\r\n";
    std::string proteus;
    for (int i = 0; i < 12; ++i) proteus += "Proteus header line\r\n";
    proteus += "R1,10k,0805,TOP,90,1000,2000\r\nC1,,0603,BOTTOM,180,500,-250\r\n";
    const std::string pikHead = "Designator Footprint Mid X\r\n\r\n";
    const std::string pikParts = "R1 0805 100mil 200mil a b c d T 90\r\nR2 0603 1mm 2mm a b c d B 180\r\n";
    const struct {
        const char* what;
        int format;
        std::string text;
        CadMisfit expect;
    } cases[] = {
        {"Allegro report as ALLEGRO.txt", 6, allegro, CadMisfit::None},
        {"Allegro report as Mentor: values where designators stand", 11, allegro, CadMisfit::Designators},
        {"Allegro report as GerbCam.txt: symbols where angles stand", 17, allegroLong, CadMisfit::Coordinates},
        {"CSV without header as GerbCam.csv: parts in the nine header lines", 16, plainCsv, CadMisfit::Header},
        {"the same CSV as PADS.318, which has no header", 15,
         "R1 R0603 1.5 -2.25 90\r\nR2 R0603 3.5 -4.25 180\r\n", CadMisfit::None},
        {"Protel report as Protel99SE.txt", 0, protel, CadMisfit::None},
        {"Protel report as Mentor", 11, protel, CadMisfit::Designators},
        {"Protel report as GerbCam.txt: no header, lengths as angles", 17,
         "h\r\nh\r\nh\r\nh\r\nh\r\nh\r\nh\r\nh\r\nh\r\n" + protel.substr(protel.find("R17")), CadMisfit::Coordinates},
        {"Protel report as PIK: its last part taken for the closing line", 1, protel, CadMisfit::LastLine},
        {"PIK report with its closing line", 1, pikHead + pikParts + "Total 2\r\n", CadMisfit::None},
        {"Proteus report as Proteus", 10, proteus, CadMisfit::None},
        {"named columns as Proteus: their numbers are no mils", 10, named, CadMisfit::Header},
        {"Proteus report with lengths in mm", 10,
         proteus.substr(0, proteus.find("R1,")) + "R1,10k,0805,TOP,90,1.5mm,2mm\r\nC1,,0603,TOP,0,3mm,4mm\r\n",
         CadMisfit::Coordinates},
        {"named columns as Excel.csv", 9, named, CadMisfit::None},
        {"named columns as Eagle, which has no header", 7, named, CadMisfit::Header},
        {"Eagle comma kind as Eagle", 7, "C1,  595,  315,Top,  0\nC7,  100,  -50,Bot, 90\n", CadMisfit::None},
        {"a file without parts: said otherwise", 11, "nothing\r\nhere\r\n", CadMisfit::None},
        {"one odd line among four is still most", 9,
         "h\r\nv,A,p,x,T,0,1,2\r\nv,B,p,x,T,0,3,4\r\nv,C,p,x,T,0,5,6\r\nv,7,p,x,T,0,7,8\r\n", CadMisfit::None},
        {"two odd lines among four are not", 9,
         "h\r\nv,A,p,x,T,0,1,2\r\nv,B,p,x,T,0,3,4\r\nv,6,p,x,T,0,5,6\r\nv,7,p,x,T,0,7,8\r\n",
         CadMisfit::Designators},
        {"angles that are no numbers", 9, "h\r\nv,A,p,x,T,up,1,2\r\nv,B,p,x,T,down,3,4\r\n", CadMisfit::Coordinates},
        {"an unknown layout", 21, named, CadMisfit::None},
    };
    for (const auto& c : cases) EXPECT_EQ(CheckCadFit(c.format, c.text), c.expect) << c.what;
}

TEST(CadLayouts, DecoderByMarkAndBytes) {
    const struct {
        std::string bytes, text;
    } cases[] = {
        {"\xD6\xD0\xCE\xC4 R1", "中文 R1"},
        {"中文 R1", "中文 R1"},
        {"\xEF\xBB\xBFR1", "R1"},
        {std::string("R1\r\n\0R2", 7), "R1\r\n"},
        {std::string("\xFF\xFER\0" "1\0\n\0", 8), "R1\n"},
        {std::string("\xFE\xFF\0R\0" "1", 6), "R1"},
    };
    for (const auto& c : cases) EXPECT_EQ(DecodeCadText(c.bytes), c.text) << c.bytes;
}

// ---- files written by CAD programs --------------------------------------------------

// The real files stand in shared/cad-samples beside the project's folder (CI puts a
// copy of shared/ next to its fresh clone). Outside CI a checkout without them skips.
std::filesystem::path SamplesFolder() {
    const std::filesystem::path folder = std::filesystem::path(SMT_SOURCE_DIR) / ".." / "shared" / "cad-samples";
    return std::filesystem::is_directory(folder) ? folder : std::filesystem::path();
}

bool InCi() {
    const char* ci = std::getenv("CI");
    return ci && std::string_view(ci) == "true";
}

#define SAMPLES_OR_SKIP(folder)                                                                         \
    const std::filesystem::path folder = SamplesFolder();                                              \
    if (folder.empty()) {                                                                              \
        if (InCi()) FAIL() << "no sample folder " << SMT_SOURCE_DIR << "/../shared/cad-samples in CI"; \
        GTEST_SKIP() << "no sample folder";                                                            \
    }

std::string SampleBytes(const std::filesystem::path& folder, const std::string& file) {
    std::string bytes;
    EXPECT_TRUE(plat::ReadWholeFile((folder / file).string(), bytes)) << file;
    return bytes;
}

struct SampleCase {
    const char* file;
    int format;
    std::size_t rows;
    // the first row: designator, X and Y in mm after the import's conversion, angle
    const char* designator;
    const char* x;
    const char* y;
    const char* angle;
};

TEST(CadLayouts, FilesOfCadPrograms) {
    SAMPLES_OR_SKIP(folder);
    const SampleCase cases[] = {
        {"02-altium16-txt/codekey-crazytrigger-Pick-Place-for-PCB1.txt", 2, 36, "R17", "81.2800", "73.6600", "90"},
        {"02-altium16-txt/limesdr-usb-Pick-Place-for-LimeSDR-USB_1v4.txt", 0, 857, "FR52", "24.4000", "50.5000", "270"},
        {"03-altium20-txt/barkour-Pick-Place-for-Ada.txt", 3, 23, "R1", "7.5000", "-6.7500", "270"},
        {"03-altium20-txt/barkour-Pick-Place-for-Fei-Fei.txt", 3, 12, "F4", "13.7414", "15.4432", "90"},
        {"03-altium20-txt/barkour-Pick-Place-for-Hamilton.txt", 3, 14, "J1", "4.4450", "11.9380", "270"},
        {"03-altium20-txt/digit-digit_smt_xy.txt", 3, 56, "L2", "14.1250", "21.6250", "180"},
        {"03-altium20-txt/yiangg-esp32devboard-Pick-Place-for-PCB1.txt", 3, 41, "R9", "25.5270", "14.6050", "0"},
        {"04-altium20-csv/codekey-crazytrigger-Pick-Place-for-PCB1.csv", 4, 36, "R17", "81.2800", "73.6600", "90"},
        {"04-altium20-csv/codekey-crazytrigger-Pick-Place-for-PCB1.csv", 9, 36, "R17", "81.2800", "73.6600", "90"},
        {"04-altium20-csv/delta-down-led-controller-Pick-Place-for-PCB1.csv", 4, 46, "J2", "6.5000", "45.2350", "180"},
        {"04-altium20-csv/loko-Pick-Place-for-Loco-Air.csv", 4, 58, "U2", "0.5522", "-6.0344", "270"},
        {"04-altium20-csv/yiangg-esp32devboard-Pick-Place-for-PCB1.csv", 4, 41, "R9", "25.5270", "14.6050", "0"},
        {"06-allegro-txt/avr500-place_txt.txt", 6, 34, "C1", "26.8990", "38.7350", "0"},
        {"06-allegro-txt/avr500-place_txt.txt", 19, 34, "C1", "26.8990", "38.7350", "0"},
        {"06-allegro-txt/da-convertor-place_txt.txt", 6, 27, "C1", "10.7950", "58.4200", "270"},
        {"07-eagle-mnt/hyena-0v2-PrimaryLogger.mnb", 7, 6, "JP1", "30.4800", "51.1800", "90"},
        {"07-eagle-mnt/hyena-0v2-PrimaryLogger.mnt", 7, 38, "BT1", "6.3500", "33.0200", "90"},
        // the comma kind holds mils: 595 and 315 mil
        {"07-eagle-mnt/haar-primal-HardMount_2v0.mnt", 7, 15, "C1", "15.1130", "8.0010", "0"},
        {"08-kicad-pos/diybms-TemperaturePCB_PANEL-all.pos", 8, 200, "J1", "83.2500", "-55.4975", "0"},
        // every part, J8 "Power Pins" too
        {"08-kicad-pos/pslab-PSLab-top.pos", 8, 139, "C1", "2.7500", "26.9000", "90"},
        {"09-excel-csv/diybms-ModuleV450_cpl_jlc.csv", 9, 31, "C1", "17.3400", "47.8600", "0"},
        {"09-excel-csv/lceda-winkey-PickAndPlace_cw-keybord-pcb.csv", 9, 21, "U1", "39.8780", "16.2560", "0"},
        {"09-excel-csv/yiangg-esp32devboard-PickAndPlace_JLC.csv", 9, 41, "R9", "25.5270", "14.6050", "0"},
        {"19-allegronew-txt/allegro-place-to-xlsx-place_txt.txt", 19, 220, "Q10", "113.2164", "39.5307", "90"},
        {"19-allegronew-txt/allegro-place-to-xlsx-place_txt.txt", 6, 220, "Q10", "113.2164", "39.5307", "90"},
        {"19-allegronew-txt/fedevel-led-youtube-place_txt.txt", 19, 5, "D2", "16.5000", "7.5000", "270"},
    };
    for (const SampleCase& c : cases) {
        const std::string bytes = SampleBytes(folder, c.file);
        const CadReadResult r = CadReaderFor(c.format)(bytes);
        ASSERT_EQ(r.rows.size(), c.rows) << c.file << " as " << c.format;
        EXPECT_EQ(r.skipped, 0) << c.file << " as " << c.format;
        EXPECT_EQ(CheckCadFit(c.format, bytes), CadMisfit::None) << c.file << " as " << c.format;
        const ImportRow& row = r.rows.front();
        // Some files hold no footprint: Altium CSV and Excel columns chosen by their
        // authors, Eagle's comma kind.
        const bool noFootprint = c.format == 4 || c.format == 9 || row[6] == "Top";
        EXPECT_FALSE(row[1].empty() && !noFootprint) << c.file << ": footprint";
        EXPECT_EQ(row[0], c.designator) << c.file;
        EXPECT_EQ(FormatMm(AtoF(ConvertImportedLength(row[2], c.format))), c.x) << c.file;
        EXPECT_EQ(FormatMm(AtoF(ConvertImportedLength(row[3], c.format))), c.y) << c.file;
        EXPECT_EQ(ConvertImportedAngle(row[4]), c.angle) << c.file;
    }
}

// Single rows of the real files that the plain recipes read wrongly.
TEST(CadLayouts, RowsOfCadProgramsAsTheirAuthorsMeantThem) {
    SAMPLES_OR_SKIP(folder);
    const struct {
        const char* file;
        int format;
        const char* designator;
        ImportRow row;  // after the reader
    } cases[] = {
        {"07-eagle-mnt/hyena-0v2-PrimaryLogger.mnt", 7, "C13", {"C13", "C0603", "11.30", "26.80", "90", "", ""}},
        {"07-eagle-mnt/hyena-0v2-PrimaryLogger.mnb", 7, "JP1",
         {"JP1", "SMT-JUMPER_3_1-NC_PASTE_SILK", "30.48", "51.18", "90", "JUMPER-SMT_3_1-NC_PASTE_SILK", ""}},
        {"07-eagle-mnt/haar-primal-HardMount_2v0.mnt", 7, "U2", {"U2", "", "22.0980", "5.5118", "0", "", "Top"}},
        {"08-kicad-pos/pslab-PSLab-top.pos", 8, "J8",
         {"J8", "Pin_Header_Straight_1x08_Pitch2.54mm", "81.2800", "50.8100", "270.0000", "Power Pins", "top"}},
    };
    for (const auto& c : cases) {
        const CadReadResult r = CadReaderFor(c.format)(SampleBytes(folder, c.file));
        const auto it = std::find_if(r.rows.begin(), r.rows.end(), [&](const ImportRow& row) { return row[0] == c.designator; });
        ASSERT_NE(it, r.rows.end()) << c.file << " " << c.designator;
        EXPECT_EQ(Join({*it}), Join({c.row})) << c.file;
    }
}

// A layout chosen for a file of another CAD program is said before its rows are taken.
TEST(CadLayouts, FilesOfCadProgramsInAnotherLayout) {
    SAMPLES_OR_SKIP(folder);
    const struct {
        const char* file;
        int format;
        CadMisfit expect;
    } cases[] = {
        {"02-altium16-txt/codekey-crazytrigger-Pick-Place-for-PCB1.txt", 11, CadMisfit::Designators},
        {"02-altium16-txt/limesdr-usb-Pick-Place-for-LimeSDR-USB_1v4.txt", 11, CadMisfit::Designators},
        {"06-allegro-txt/avr500-place_txt.txt", 11, CadMisfit::Designators},
        {"06-allegro-txt/da-convertor-place_txt.txt", 11, CadMisfit::Designators},
        {"02-altium16-txt/codekey-crazytrigger-Pick-Place-for-PCB1.txt", 17, CadMisfit::Coordinates},
        {"02-altium16-txt/limesdr-usb-Pick-Place-for-LimeSDR-USB_1v4.txt", 17, CadMisfit::Coordinates},
        {"06-allegro-txt/avr500-place_txt.txt", 17, CadMisfit::Coordinates},
        {"06-allegro-txt/da-convertor-place_txt.txt", 17, CadMisfit::Coordinates},
        {"03-altium20-txt/barkour-Pick-Place-for-Ada.txt", 10, CadMisfit::Header},
        {"04-altium20-csv/loko-Pick-Place-for-Loco-Air.csv", 10, CadMisfit::Header},
        {"08-kicad-pos/diybms-TemperaturePCB_PANEL-all.pos", 10, CadMisfit::Header},
        {"09-excel-csv/diybms-ModuleV450_cpl_jlc.csv", 10, CadMisfit::Header},
        {"19-allegronew-txt/fedevel-led-youtube-place_txt.txt", 10, CadMisfit::Header},
        {"02-altium16-txt/codekey-crazytrigger-Pick-Place-for-PCB1.txt", 1, CadMisfit::LastLine},
        {"02-altium16-txt/limesdr-usb-Pick-Place-for-LimeSDR-USB_1v4.txt", 1, CadMisfit::LastLine},
        {"03-altium20-txt/digit-digit_smt_xy.txt", 1, CadMisfit::LastLine},
        {"09-excel-csv/diybms-ModuleV450_cpl_jlc.csv", 7, CadMisfit::Header},
        {"04-altium20-csv/yiangg-esp32devboard-Pick-Place-for-PCB1.csv", 7, CadMisfit::Header},
        {"07-eagle-mnt/hyena-0v2-PrimaryLogger.mnt", 11, CadMisfit::Coordinates},
        {"07-eagle-mnt/haar-primal-HardMount_2v0.mnt", 15, CadMisfit::Coordinates},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckCadFit(c.format, SampleBytes(folder, c.file)), c.expect) << c.file << " as " << c.format;
}

} // namespace
