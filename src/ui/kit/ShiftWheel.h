#pragma once

class QAbstractScrollArea;

// Shift with the wheel scrolls the area sideways, as in the other desktop applications: Qt leaves the
// turn vertical (and makes it a page step).
void scrollSidewaysWithShift(QAbstractScrollArea *area);
