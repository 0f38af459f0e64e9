#pragma once
// A number from the clock, used to pick one of several mascot messages.
#include <QTime>

namespace zek::notify {

// low + (whole seconds since local midnight) mod (high - low + 1), taken
// from `timeOfDay`. An empty range (high < low) gives low.
int RandomInRange(int low, int high, QTime timeOfDay);

// The same with the current local time of day.
int RandomInRange(int low, int high);

}  // namespace zek::notify
