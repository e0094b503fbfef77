#include "control/program_entry.h"

int main(int argc, char** argv) {
    mt_main(argc, argv);
}
