#include "TrackTable.h"

#include "ParameterUnits.h"
#include "data/CsvText.h"

namespace {

void AppendOptionalNumber(std::string& out, bool present, double value)
{
    out += ',';
    if (present)
        AppendShortest(out, value);
}

} // namespace

TrackTable::TrackTable(const Circuit& circuit, int32_t divider, bool withSpectraColumn)
    : circuit_(circuit), divider_(divider), withSpectraColumn_(withSpectraColumn),
      series_(circuit.parameterNames.size())
{
}

void TrackTable::AppendHeader(std::string& out) const
{
    out += "MeasCount,time_s";
    if (withSpectraColumn_)
        out += ",spectra";
    for (const std::string& name : circuit_.parameterNames)
        out += ',' + name + ',' + name + "_stderr";
    out += ",chi2_reduced,status";
    EndCsvRow(out);
}

void TrackTable::AppendRow(std::string& out, const TrackItem& item, const TrackOutcome& outcome)
{
    const double time = divider_ > 0 ? static_cast<double>(item.spectrum.measCount) * divider_ / 1000.0 : 0.0;
    out += std::to_string(item.spectrum.measCount);
    AppendOptionalNumber(out, divider_ > 0, time);
    if (withSpectraColumn_)
        out += ',' + std::to_string(item.spectra);
    const bool fitted = outcome.fitted;
    for (size_t p = 0; p < series_.size(); ++p) {
        const ParameterEstimate* estimate = fitted ? &outcome.fit.parameters[p] : nullptr;
        AppendOptionalNumber(out, fitted, estimate ? estimate->value : 0.0);
        AppendOptionalNumber(out, fitted, estimate ? estimate->stdError : 0.0);
        if (estimate)
            series_[p].Add({time, estimate->value, estimate->stdError});
    }
    AppendOptionalNumber(out, fitted, fitted ? outcome.fit.chi2Reduced : 0.0);
    out += ',';
    if (!fitted) {
        AppendCsvField(out, outcome.error);
        ++unfitted_;
    } else if (!outcome.fit.converged) {
        out += "not converged";
        ++notConverged_;
    } else {
        out += "ok";
    }
    EndCsvRow(out);
    ++rows_;
}

std::vector<TrackSeries> TrackTable::Series() const
{
    std::vector<TrackSeries> tracks;
    for (size_t p = 0; p < series_.size(); ++p) {
        TrackSeries track{circuit_.parameterNames[p], ParameterUnit(circuit_, p), {}, {}, {}};
        for (const SeriesPoint& point : series_[p].Points()) {
            track.time.push_back(point.time);
            track.value.push_back(point.value);
            track.error.push_back(point.error);
        }
        tracks.push_back(std::move(track));
    }
    return tracks;
}
