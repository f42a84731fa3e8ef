#include "ManagerStartup.h"

int main(int argc, char** argv) { return runManager(argc, argv); }
