// What tracking a recording gives, as the track command writes it: the table (CSV, one row per
// fitted spectrum: MeasCount, time_s, spectra with block means, each parameter and its standard
// error, chi2_reduced, status), the parameters' series against time for the picture, kept in
// bounded memory however long the recording, and the counts for the summary line.
#pragma once

#include "Circuit.h"
#include "TrackFitting.h"
#include "data/SeriesThinning.h"
#include "data/TrackSeries.h"

#include <cstdint>
#include <string>
#include <vector>

class TrackTable {
public:
    // `divider`: the log's spectrum period in ms (time_s is empty when it is not positive).
    TrackTable(const Circuit& circuit, int32_t divider, bool withSpectraColumn);

    void AppendHeader(std::string& out) const;
    void AppendRow(std::string& out, const TrackItem& item, const TrackOutcome& outcome);
    std::vector<TrackSeries> Series() const;

    uint64_t Rows() const { return rows_; }
    uint64_t Unfitted() const { return unfitted_; }
    uint64_t NotConverged() const { return notConverged_; }

private:
    const Circuit& circuit_;
    int32_t divider_;
    bool withSpectraColumn_;
    std::vector<ThinnedSeries> series_;
    uint64_t rows_ = 0, unfitted_ = 0, notConverged_ = 0;
};
