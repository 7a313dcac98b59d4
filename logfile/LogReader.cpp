#include "LogReader.h"
