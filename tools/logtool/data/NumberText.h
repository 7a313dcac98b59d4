// Numbers written in full, with '.' as decimal point whatever the locale: the shortest digits that
// read back as the same value, in one of two layouts:
//   AppendShortest  laid out as printf's %g lays out (CSV cells): "100000", "0.001", "1e-05";
//                   a float gets its own shortest digits (the log's module and phase: "1098.05",
//                   not the double's 1098.050048828125);
//   AppendCompact   in whichever of fixed and exponent form has fewer characters (JSON numbers,
//                   numbers in messages): "1e+05", "0.001", "1e-05".
// Not finite: "nan", "inf" or "-inf".
#pragma once

#include <string>

void AppendShortest(std::string& out, double value);
void AppendShortest(std::string& out, float value);
void AppendCompact(std::string& out, double value);
std::string CompactText(double value);
// Shortest digits in fixed notation however long ("1000000", not "1e+06").
void AppendShortestFixed(std::string& out, double value);
void AppendShortestFixed(std::string& out, float value);
