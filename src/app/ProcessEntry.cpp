#include "app/ProcessEntry.h"

namespace zek::app {

int runProcess(int, char**) {
    return 1;
}

}  // namespace zek::app
