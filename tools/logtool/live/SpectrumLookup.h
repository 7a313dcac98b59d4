// One spectrum of a followed log, found through the summary's finest buckets (their count ranges
// and byte offsets) and read from its row.
#pragma once

#include "SpectrumSummary.h"

#include <cstdint>
#include <string>

// The spectrum of this count (on the measurement's axis, wraps counted on). False with `error`:
// "no spectrum yet", "count N is outside 0 to M", "the spectrum of count N was lost", or the
// file's error when its row cannot be read.
bool ReadSpectrumAt(const std::string& path, const SpectrumSummary& summary, uint64_t count, SpectrumRecord& record,
                    std::string& error);
// The last spectrum the summary holds.
bool ReadLastSpectrum(const std::string& path, const SpectrumSummary& summary, SpectrumRecord& record,
                      std::string& error);
