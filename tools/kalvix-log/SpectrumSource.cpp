#include "SpectrumSource.h"
