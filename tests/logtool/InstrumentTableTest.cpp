// Other instruments' files: each sample read to the values it holds, the titles of impedance
// columns, sweeps, decimal commas, and what is refused.
#include "CommandLine.h"
#include "Commands.h"
#include "SpectrumSource.h"
#include "TestLogs.h"
#include "data/CsvSpectrum.h"
#include "data/InstrumentTable.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

const std::string Data = KALVIX_SOURCE_DIR "/tests/logtool/data/";

std::string FileText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

struct Point {
    double frequency, real, imaginary;
};

void ExpectPoint(const Spectrum& spectrum, size_t index, const Point& point, const std::string& name)
{
    ASSERT_LT(index, spectrum.frequency.size()) << name;
    EXPECT_NEAR(spectrum.frequency[index], point.frequency, 1e-9 * point.frequency) << name << " point " << index;
    EXPECT_NEAR(spectrum.impedance[index].real(), point.real, 1e-9 * std::abs(point.real) + 1e-12) << name;
    EXPECT_NEAR(spectrum.impedance[index].imag(), point.imaginary, 1e-9 * std::abs(point.imaginary) + 1e-12) << name;
}

TEST(InstrumentTable, ReadsEachSampleToItsValues)
{
    struct Case {
        const char* file;
        const char* format;
        size_t points;
        Point first, last;
    } const cases[] = {
        {"gamry-eispot-excerpt.DTA", "Gamry .DTA", 9, {200015.6, 825.8584, -1367.239}, {0.0158898, 17007.49, -6635.557}},
        {"biologic-peis-excerpt.mpt", "BioLogic .mpt", 5, {1000.3201, 65.470886, -0.38998979},
         {0.01689554, 110.97003, -2.3458567}},
        {"biologic-peis-excerpt-decimal-comma.mpt", "BioLogic .mpt", 5, {1000.3201, 65.470886, -0.38998979},
         {0.01689554, 110.97003, -2.3458567}},
        {"zplot-sweep-excerpt.z", "ZPlot/ZView .z", 5, {300000, 147.77, -11.335}, {3000, 613.68, -137.13}},
        {"chinstruments-ac-impedance-excerpt.txt", "CH Instruments text", 5, {99610, 98.91, -2.748},
         {0.1, 5685, -15860}},
        {"versastudio-peis-excerpt.par", "VersaStudio .par", 5, {100000, 55.31571, 4.575431},
         {0.02154435, 1516.313, -122.8279}},
        {"z60w-autolab-example.txt", "Z60W data file", 41, {10000, 0.013785863964281, 0.007191946305823},
         {0.1, 0.0345697771923854, -0.00390292888845954}},
    };
    for (const Case& c : cases) {
        const std::string text = FileText(Data + c.file);
        ASSERT_FALSE(text.empty()) << c.file;
        EXPECT_EQ(InstrumentFormatOf(text), c.format) << c.file;
        std::vector<Spectrum> spectra;
        std::string error;
        ASSERT_TRUE(ParseInstrumentTable(text, spectra, error)) << c.file << ": " << error;
        ASSERT_EQ(spectra.size(), 1u) << c.file;
        EXPECT_EQ(spectra[0].frequency.size(), c.points) << c.file;
        ExpectPoint(spectra[0], 0, c.first, c.file);
        ExpectPoint(spectra[0], c.points - 1, c.last, c.file);
    }
}

TEST(InstrumentTable, RecognisesColumnTitles)
{
    struct Case {
        const char* title;
        ImpedanceTitle expected;
    } const cases[] = {
        {"Freq", ImpedanceTitle::Frequency},          {"freq/Hz", ImpedanceTitle::Frequency},
        {"Frequency (Hz)", ImpedanceTitle::Frequency}, {"Freq(Hz)", ImpedanceTitle::Frequency},
        {"Zreal", ImpedanceTitle::Real},               {"Re(Z)/Ohm", ImpedanceTitle::Real},
        {"Z'(a)", ImpedanceTitle::Real},               {"Z' (\xce\xa9)", ImpedanceTitle::Real},
        {"Z Real", ImpedanceTitle::Real},              {"Zimag", ImpedanceTitle::Imaginary},
        {"Z''(b)", ImpedanceTitle::Imaginary},         {"Z\"/ohm", ImpedanceTitle::Imaginary},
        {"-Im(Z)/Ohm", ImpedanceTitle::NegativeImaginary}, {"-Z'' (\xce\xa9)", ImpedanceTitle::NegativeImaginary},
        {"|Z|/Ohm", ImpedanceTitle::Modulus},          {"Zmod", ImpedanceTitle::Modulus},
        {"Phase(Z)/deg", ImpedanceTitle::Phase},       {"-Phase (\xc2\xb0)", ImpedanceTitle::NegativePhase},
        {"re", ImpedanceTitle::Other},                 {"im", ImpedanceTitle::Other},
        {"Re(Y)/Ohm-1", ImpedanceTitle::Other},        {"E Real", ImpedanceTitle::Other},
        {"Time(Sec)", ImpedanceTitle::Other},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ImpedanceTitleOf(c.title), c.expected) << c.title;
}

struct TextCase {
    const char* name;
    const char* text;
    size_t sweeps;               // 0: an error
    size_t pointsOfLast;
    Point lastPoint;
    const char* error;
};

TEST(InstrumentTable, ReadsTablesAndRefusesBadRows)
{
    const TextCase cases[] = {
        {"-Z'' titles", "Frequency (Hz);Z' (\xce\xa9);-Z'' (\xce\xa9)\n100;5;1\n10;6;2\n", 1, 2, {10, 6, -2}, nullptr},
        {"decimal commas with ';'", "freq;Zreal;Zimag\n100;5,5;-1,25\n10;6,5;-2\n", 1, 2, {10, 6.5, -2}, nullptr},
        {"spaces between", "Freq Zreal Zimag\n100   5  -1\n10 6 -2\n", 1, 2, {10, 6, -2}, nullptr},
        {"|Z| and phase", "freq,|Z|,Phase\n100,2,0\n10,2,-90\n", 1, 2, {10, 0, -2}, nullptr},
        {"-phase in radians", "f,Zmod,-Phase/rad\n10,2,1.5707963267948966\n", 1, 1, {10, 0, -2}, nullptr},
        {"Z' preferred to |Z|", "f,|Z|,phase,Z',Z''\n10,9,9,3,-4\n", 1, 1, {10, 3, -4}, nullptr},
        {"two sweeps, frequencies turn back", "f,Z',Z''\n100,1,-1\n10,2,-2\n1,3,-3\n1000,4,-4\n100,5,-5\n", 2, 2,
         {100, 5, -5}, nullptr},
        {"two tables", "f,Z',Z''\n100,1,-1\n10,2,-2\nend\nf,Z',Z''\n100,3,-3\n", 2, 1, {100, 3, -3}, nullptr},
        {"units line skipped", "\tFreq\tZreal\tZimag\n\tHz\tohm\tohm\n\t10\t1\t-1\n", 1, 1, {10, 1, -1}, nullptr},
        {"no titles", "100,1,-1\n", 0, 0, {}, "no line of column titles naming the frequency"},
        {"titles, no rows", "f,Z',Z''\n", 0, 0, {}, "no data rows after the column titles"},
        {"a word in a row", "f,Z',Z''\n100,1,-1\n10,x,-2\n", 0, 0, {}, "line 3, column 2: Z' is not a number: \"x\""},
        {"a row cut short", "f,Z',Z''\n100,1,-1\n10,2\n", 0, 0, {}, "line 3: 2 fields, but Z'' is in column 3"},
        {"nan", "f,Z',Z''\n100,1,nan\n", 0, 0, {}, "line 2, column 3: Z'' is not finite"},
        {"frequency 0", "f,Z',Z''\n0,1,-1\n", 0, 0, {}, "line 2: the frequency (column 1) is not positive"},
        {"negative |Z|", "f,|Z|,phase\n10,-1,0\n", 0, 0, {}, "line 2: |Z| (column 2) is negative"},
        {"thousands separator with ','", "f,Z',Z''\n100,\"1,5\",-1\n", 0, 0, {}, "line 2, column 2: Z' is not a number: \"1,5\""},
        {"two decimal commas", "f;Z';Z''\n100;1,5,5;-1\n", 0, 0, {}, "line 2, column 2: Z' is not a number"},
    };
    for (const TextCase& c : cases) {
        std::vector<Spectrum> spectra;
        std::string error;
        const bool read = ParseInstrumentTable(c.text, spectra, error);
        if (!c.error) {
            ASSERT_TRUE(read) << c.name << ": " << error;
            ASSERT_EQ(spectra.size(), c.sweeps) << c.name;
            EXPECT_EQ(spectra.back().frequency.size(), c.pointsOfLast) << c.name;
            EXPECT_EQ(spectra.back().measCount, c.sweeps - 1) << c.name;
            ExpectPoint(spectra.back(), c.pointsOfLast - 1, c.lastPoint, c.name);
        } else {
            EXPECT_FALSE(read) << c.name;
            EXPECT_NE(error.find(c.error), std::string::npos) << c.name << ": " << error;
        }
    }
}

TEST(InstrumentTable, KeepsItsLimits)
{
    std::string many = "f,Z',Z''\n";
    for (size_t i = 0; i <= CsvMostPoints; ++i)
        many += "10,1,-1\n";
    std::vector<Spectrum> spectra;
    std::string error;
    EXPECT_FALSE(ParseInstrumentTable(many, spectra, error));
    EXPECT_NE(error.find("line 100002: more than 100000 points"), std::string::npos) << error;
    const std::string longLine = "f,Z',Z''\n" + std::string(70000, '1') + "\n";
    EXPECT_FALSE(ParseInstrumentTable(longLine, spectra, error));
    EXPECT_NE(error.find("line 2: longer than 65536 bytes"), std::string::npos) << error;
}

TEST(InstrumentTable, PlainCsvColumnsTakeMinusImAndPolar)
{
    struct Case {
        const char* text;
        const char* columns;
        bool polar;
        Point point;
    } const cases[] = {
        {"10,3,4\n", "1,2,-3", false, {10, 3, -4}},
        {"4,3,10\n", "3,2,-1", false, {10, 3, -4}},
        {"10,2,-90\n", "1,2,3", true, {10, 0, -2}},
    };
    for (const Case& c : cases) {
        CsvColumns columns;
        columns.polar = c.polar;
        ASSERT_TRUE(ParseCsvColumns(c.columns, columns)) << c.columns;
        Spectrum spectrum;
        std::string error;
        ASSERT_TRUE(ParseCsvSpectrum(c.text, columns, spectrum, error)) << c.columns << ": " << error;
        ExpectPoint(spectrum, 0, c.point, c.columns);
    }
    CsvColumns columns;
    for (const char* bad : {"1,-2,3", "-1,2,3", "1,2,--3", "1,2,-"})
        EXPECT_FALSE(ParseCsvColumns(bad, columns)) << bad;
}

// What the commands' source makes of a file: the spectrum picked or the message.
struct SourceCase {
    const char* name;
    std::string text;
    std::vector<std::string> options;
    int expectedKind;              // 0 read, 1 InputError, 2 UsageError
    const char* expected;          // the description, or a part of the message
    double firstReal;
};

TEST(InstrumentTable, SourcePicksSweepsAndNamesTheFormat)
{
    const std::string sweeps = "f,Z',Z''\n100,1,-1\n10,2,-2\n100,3,-3\n10,4,-4\n";
    const std::string gamryBroken = "EXPLAIN\nZCURVE\tTABLE\n\tPt\tFreq\tZreal\tZimag\n\t0\t100\t1,5.0\t-1\n";
    const SourceCase cases[] = {
        {"first sweep", sweeps, {}, 0, "spectrum 0 of", 1},
        {"--spectrum 1", sweeps, {"--spectrum", "1"}, 0, "spectrum 1 of", 3},
        {"--range 0:1 means the sweeps", sweeps, {"--range", "0:1"}, 0, "mean of 2 spectra", 2},
        {"--spectrum beyond", sweeps, {"--spectrum", "2"}, 1, "no spectrum number 2 (the file holds 2, numbered from 0)", 0},
        {"--columns on titles", FileText(Data + "zplot-sweep-excerpt.z"), {"--columns", "1,5,6"}, 2,
         "is a ZPlot/ZView .z file, whose titles name its columns", 0},
        {"format named", gamryBroken, {}, 1, "a Gamry .DTA file, but line 4, column 4: Z' is not a number", 0},
        {"format without table", "EC-Lab ASCII FILE\nNb header lines : 3\n\nno table\n", {}, 1,
         "a BioLogic .mpt file, but no line of column titles", 0},
        {"--polar without titles", "10,2,-90\n", {"--polar"}, 0, "the spectrum of", 0},
        {"--polar with -IM", "10,2,-90\n", {"--polar", "--columns", "1,2,-3"}, 2, "-IM is for a column of -Z''", 0},
        {"titles not known, old reading", "f,re,im\n10,7,-1\n", {}, 0, "the spectrum of", 7},
        {"no titles, decimal commas", "10;7,5;-1\n", {}, 0, "the spectrum of", 7.5},
    };
    CommandGrammar grammar;
    grammar.minPositional = grammar.maxPositional = 1;
    AddSourceOptions(grammar);
    for (const SourceCase& c : cases) {
        const std::string path = WriteScratchFile("instrument.txt", c.text).string();
        std::vector<std::string> arguments = {path};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        std::string description, message;
        int kind = 0;
        Spectrum spectrum;
        try {
            spectrum = SelectOneSpectrum(ReadSourceSettings(CommandLine(arguments, grammar)), description);
        } catch (const InputError& error) {
            kind = 1;
            message = error.what();
        } catch (const UsageError& error) {
            kind = 2;
            message = error.what();
        }
        EXPECT_EQ(kind, c.expectedKind) << c.name << ": " << message;
        const std::string& said = kind ? message : description;
        EXPECT_NE(said.find(c.expected), std::string::npos) << c.name << ": " << said;
        if (kind == 0 && !spectrum.impedance.empty()) {
            EXPECT_NEAR(spectrum.impedance[0].real(), c.firstReal, 1e-12) << c.name;
        }
    }
}

// Formats without a reader are refused by their name, whatever they hold; a file read by its
// content is read whatever its name (non-ASCII included).
TEST(InstrumentTable, SourceRefusesFormatsNotReadByTheirName)
{
    struct Case {
        std::u8string name;
        std::string text;
        const char* expected;   // a part of the message, or nullptr: read
    } const cases[] = {
        {u8"cell.idf", "100,1,-1\n", "the name says Ivium .idf/.ids, a format kalvix-log does not read"},
        {u8"cell.IDS", "binary\x01\x02\n", "the name says Ivium .idf/.ids"},
        {u8"cell.pssession", "{\"x\":1}\n", "the name says PalmSens .pssession"},
        {u8"cell.idf", "f,Z',Z''\n100,1,-1\n", nullptr},
        {u8"zelle-m\u00e4rz-\u03a9.DTA", FileText(Data + "gamry-eispot-excerpt.DTA"), nullptr},
        {u8"zelle-m\u00e4rz.txt", "1000 12,5 -3,25\n", nullptr},
    };
    CommandGrammar grammar;
    grammar.minPositional = grammar.maxPositional = 1;
    AddSourceOptions(grammar);
    for (const Case& c : cases) {
        const std::string path = Utf8Path(WriteScratchFile(c.name, c.text));
        std::string description, message;
        try {
            const Spectrum spectrum = SelectOneSpectrum(ReadSourceSettings(CommandLine({path}, grammar)), description);
            EXPECT_FALSE(spectrum.frequency.empty()) << path;
        } catch (const InputError& error) {
            message = error.what();
        }
        if (c.expected) {
            EXPECT_EQ(message.rfind(path + ": ", 0), 0u) << message;
            EXPECT_NE(message.find(c.expected), std::string::npos) << message;
        } else {
            EXPECT_EQ(message, "") << path;
        }
    }
}

// The commands that read a spectrum file say which files they read and how --columns and --polar
// take a CSV without titles.
TEST(InstrumentTable, HelpOfEverySpectrumCommandNamesTheFiles)
{
    for (const auto run : {RunFitCommand, RunPlotCommand, RunCheckCommand}) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(run({"--help"}), ExitSuccess);
        const std::string help = testing::internal::GetCapturedStdout();
        for (const char* said : {"--polar ", "-IM for a column of -Z''", "Gamry .DTA", "BioLogic .mpt", "Z60W",
                                 "a decimal comma", "PalmSens .pssession are refused"})
            EXPECT_NE(help.find(said), std::string::npos) << said << " in\n" << help;
    }
}

} // namespace
