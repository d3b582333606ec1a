#pragma once

// The CSV format is shared by every window that exports a grid.
#include "widgets/csvexport.h"
