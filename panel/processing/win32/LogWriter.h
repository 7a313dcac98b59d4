// The measurement log: arming it when LOG DATA is ticked, creating the time-stamped file with its
// header on the first batch (never over an existing file), collecting rows in the log buffer and
// writing them about once per batch and at least once a second, flushing and closing when LOG
// DATA is released, and the 20 GiB size warning.
#pragma once

#include "KalvixCtrl.h"

#include <cstdint>

struct GlobalCtrl;

// LOG DATA ticked: checks that a log file name was chosen and the device is connected, then
// resets the log state and obtains the zero-filled log buffer. No file is created yet.
void StartLog(GlobalCtrl* ctrl);

// The log file name was just chosen: a folder where no file can be made is told now, with the
// text a failed log creation shows ("File create error: %d"), not first at the log's first batch.
// True when the folder takes files.
bool CheckLogFolder(GlobalCtrl* ctrl);

// LOG DATA released: writes the rows still waiting (a failed write shows "Log file write error:
// %d"), closes the file, releases the buffer.
void StopLog(GlobalCtrl* ctrl);

// Creates the log file (directory of LogPath + time-stamped name) and writes its header. A
// stamped name that exists is left alone: the file gets the first free name with _2 .. _999
// before its extension. Returns 0, -1 when the file cannot be created ("File create error: %d"
// shown; a path too long gives ERROR_FILENAME_EXCED_RANGE, 999 names taken ERROR_FILE_EXISTS),
// -2 without an armed log or when the header cannot be written ("Log file write error: %d"; the
// file just made is closed and removed again).
int32_t CreateLogFile(GlobalCtrl* ctrl);

// Logs one row per record; the first row of a log creates the file. Any failure is shown in the
// status bar, switches logging off (LOG DATA released) and drops the rest of the batch; the rows
// of a failed write are dropped with it, the file keeps what was written before.
void AppendLogRows(GlobalCtrl* ctrl, const SpectrumRecord* records, uint32_t count);

// The window's periodic check: rows still waiting LogFlushIntervalMs after the last write (header
// or rows) are written, so a file that a follower reads, or that a crash leaves, is never
// more than about a second behind even when no batch comes. A failed write is handled as in
// AppendLogRows.
void WriteOverdueLogRows(GlobalCtrl* ctrl);

// Warns once the bytes written pass 20 GiB, then counts again from 0.
void CheckLogSize(GlobalCtrl* ctrl);
