#include "app/ProcessEntry.h"

int main(int argc, char** argv) {
    return zek::app::runProcess(argc, argv);
}
