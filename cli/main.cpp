#include <iostream>

#include "host.h"

int main(int argc, char* argv[]) { return apartado::cli::Run(argc, argv, std::cout, std::cerr, std::cin); }
