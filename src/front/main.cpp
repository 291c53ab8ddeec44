#include <cstdio>

#include "front/front.h"

int main(int argc, char** argv) { return morvex::morvexMain(argc, argv, stdout); }
