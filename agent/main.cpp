#include "kslagent.h"

int main(int argc, char** argv) {
    return kslagent_main(argc, argv);
}
