#include "notify/RandomInRange.h"

namespace zek::notify {

int RandomInRange(int low, int high, QTime timeOfDay) {
    // An empty range would divide by zero (or by a negative count).
    if (high < low)
        return low;
    const long long count = static_cast<long long>(high) - low + 1;
    const long long seconds = timeOfDay.isValid() ? timeOfDay.msecsSinceStartOfDay() / 1000 : 0;
    return static_cast<int>(low + seconds % count);
}

int RandomInRange(int low, int high) {
    return RandomInRange(low, high, QTime::currentTime());
}

}  // namespace zek::notify
