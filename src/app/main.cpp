// Program entry: reads no command-line arguments of its own.
#include "app/uProgram.h"

int main(int argc, char** argv) { return RunProgram(argc, argv); }
