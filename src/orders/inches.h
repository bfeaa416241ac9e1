#pragma once

#include <QString>

// Millimetres as inches to the nearest eighth ("57 1/8", "36"); empty for a
// length that is not above 0 or above 9999 mm.
QString inchesText(int mm);
