// Reading back the rows of a stretch of a log, by the byte offsets the summary keeps: the file is
// opened, read from the stretch's first byte in blocks and closed again. Rows that do not read
// are passed over (the follower has counted them already).
#pragma once

#include "KalvixCtrl.h"

#include <cstdint>
#include <functional>
#include <string>

// The most bytes one stretch may span: more is refused (a summary never asks for that much).
constexpr uint64_t RowRangeMostBytes = 64ull << 20;

// Calls `use` with every row that reads whole in [from, to) of the file, in file order, with the
// offset of its first byte; `use` returns false to stop. False with `error` when the file cannot
// be opened or read, or the stretch is longer than RowRangeMostBytes.
bool ReadRowRange(const std::string& path, uint64_t from, uint64_t to,
                  const std::function<bool(const SpectrumRecord& record, uint64_t offset)>& use, std::string& error);

// The same for a stretch the summary knows, whose first row has `firstCount` on its measurement's
// count axis: `use` gets every row with its count. False with `error` "the rows at bytes A to B
// are not the ones read before: the file changed" when the stretch does not start with that row
// (the file was cut or rewritten since), or with the file's error.
bool ReadCountedRows(const std::string& path, uint64_t from, uint64_t to, uint64_t firstCount,
                     const std::function<bool(const SpectrumRecord& record, uint64_t count)>& use, std::string& error);
