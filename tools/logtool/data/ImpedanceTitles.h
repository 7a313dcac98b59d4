// What a column of an instrument's table holds, judged from its title: the frequency, Z', Z'',
// -Z'', |Z| or the phase, whatever the maker calls it ("Freq", "freq/Hz", "Frequency (Hz)";
// "Zreal", "Re(Z)/Ohm", "Z'(a)", "Z Real"; "Zimag", "Z''(b)", "-Im(Z)/Ohm"; "Zmod", "|Z|";
// "Zphz", "Phase(Z)/deg"). Units after '/' or in brackets are dropped, case and blanks ignored.
#pragma once

#include <string>
#include <string_view>
#include <vector>

enum class ImpedanceTitle { Other, Frequency, Real, Imaginary, NegativeImaginary, Modulus, Phase, NegativePhase };

ImpedanceTitle ImpedanceTitleOf(std::string_view title);

// Where a table's values are, 1-based (0: no such column). Z' and Z'' when both are there,
// else |Z| and the phase (degrees, or radians when its unit says "rad").
struct ImpedanceColumns {
    size_t frequency = 0, real = 0, imaginary = 0, modulus = 0, phase = 0;
    bool negativeImaginary = false;   // the column holds -Z''
    bool negativePhase = false;       // the column holds -phase
    bool phaseInRadians = false;
    bool Polar() const { return real == 0; }
};

// The columns a line of titles names; false when it does not name the frequency and either Z'
// and Z'' or |Z| and the phase.
bool ImpedanceColumnsOf(const std::vector<std::string>& titles, ImpedanceColumns& columns);
