#include "MyApplication.h"

MyApplication::MyApplication(int& argc, char** argv) : QApplication(argc, argv) {}
