// The live view's JSON answers about one followed log: its status, a trend of one quantity at one
// frequency, and one spectrum. Times are seconds (count x spectrum period), as everywhere in the tool.
#pragma once

#include "LiveLog.h"
#include "data/Json.h"
#include "live/HttpReply.h"
#include "live/QueryParameters.h"

#include <complex>
#include <functional>

// The log's part of the status document (file, state, spectra, lost, times, rate ...).
Json LiveLogStatus(const LiveLog& log, double now_s);

// /api/trend?quantity=modulus|phase|real|imag&frequency_hz=F&from_s=A&to_s=B&points=P
HttpReply TrendReply(const LiveLog& log, const QueryParameters& query);

// The fitted curve of the block holding a spectrum's time, at the frequencies asked; false when
// there is none.
using FittedCurveSource = std::function<bool(double time_s, const std::vector<double>& frequencies_hz,
                                             std::vector<std::complex<double>>& impedance, double& blockTime_s)>;

// /api/spectrum?meascount=N|last, with the fitted curve when `fitted` gives one.
HttpReply SpectrumReply(const LiveLog& log, const QueryParameters& query, const FittedCurveSource& fitted);

// Points of a trend and of a fitted curve at most.
constexpr long long TrendMostPoints = 10000;
constexpr long long TrendDefaultPoints = 1000;
constexpr size_t FittedCurvePoints = 100;
