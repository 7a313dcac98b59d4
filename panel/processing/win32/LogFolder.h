// The folder logs go to: whether a log file can be made there now, and the folder the log file
// dialog opens in the first time.
#pragma once

#include <windows.h>

#include <cstddef>

// 0 when a new file can be made in the folder of `logPath` (the operator's log file name; without
// a backslash, the current folder), else the system's code of the failed create: the code the
// log's own creation would meet there. A small probe file is made and removed again; a folder
// name that leaves no room in a path gives ERROR_FILENAME_EXCED_RANGE.
DWORD LogFolderCreateError(const char* logPath);

// The user's Documents\Kalvix into `folder` (capacity bytes, with its terminating zero), made when
// missing. False, with `folder` empty, when the documents folder is unknown, its name has no ANSI
// form, it does not fit, or the folder cannot be made.
bool DefaultLogFolder(char* folder, size_t capacity);
