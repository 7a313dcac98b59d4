// A trend of one quantity at one frequency against time, read from a SpectrumSummary: over a long
// span from the buckets (whole buckets per point, so every mean is the exact mean of the spectra
// in the point's span), over a short one from the log's rows themselves.
#pragma once

#include "SpectrumSummary.h"

#include <cstdint>
#include <string>
#include <vector>

enum class TrendQuantity { Modulus, Phase, Real, Imag };

struct TrendRequest {
    TrendQuantity quantity = TrendQuantity::Modulus;
    size_t frequency = 0;        // 0 .. MeasurementFrequencyCount - 1
    double from_s = 0, to_s = 0; // time_s = count x period, ends included
    size_t mostPoints = 1;       // at least 1
};

struct TrendPoint {
    double first_s = 0, last_s = 0;   // the first and last spectrum of the point's span
    double time_s = 0;                // the middle of the span: (first_s + last_s) / 2
    double mean = 0, min = 0, max = 0;
    uint64_t spectra = 0;
};

// Spans of at most this many spectra are answered from the rows, exactly per spectrum (or per
// group of consecutive spectra when there are more of them than points).
constexpr uint64_t TrendRowsMostSpectra = 8192;

struct TrendAnswer {
    std::vector<TrendPoint> points;   // from the buckets; empty when `fromRows`
    bool fromRows = false;            // read the rows in [rowsFrom, rowsTo) with TrendFromRows
    uint64_t rowsFrom = 0, rowsTo = 0;
    uint64_t rowsFirstCount = 0;      // the count of the first row there
    size_t level = 0;                 // the level the points come from
    size_t bucketsPerPoint = 0;
};

// The points of the span: from the finest level whose buckets over the span, taken alone or in
// groups of fewer than SummaryLevelRatio, make at most mostPoints points (groups are aligned on
// the level's bucket numbers, so a point stays the same as the view pans). A point's span is whole
// buckets, so it may reach past the span's ends. Min and max of |Z| and phase are those of the
// spectra; for Z' and Z'' they are those of the means of the point's buckets. When the span's
// finest buckets make fewer than mostPoints points and hold at most TrendRowsMostSpectra spectra,
// the answer names the rows to read instead. A frequency index beyond the spectrum's gives no points.
TrendAnswer QueryTrend(const SpectrumSummary& summary, const TrendRequest& request);

// The points from the rows the answer names: the spectra whose time lies in the span, alone, or in
// groups of ceil(spectra / mostPoints) consecutive ones; min and max are those of the spectra for
// every quantity. False with `error` when the rows cannot be read (or the frequency index is
// beyond the spectrum's).
bool TrendFromRows(const std::string& path, const SpectrumSummary& summary, const TrendRequest& request,
                   const TrendAnswer& answer, std::vector<TrendPoint>& points, std::string& error);

// The value of a quantity for one spectrum (Z' and Z'' from |Z| and the logged phase).
double SpectrumQuantity(const SpectrumRecord& record, TrendQuantity quantity, size_t frequency);
