#include <iostream>
#include <string>
#include <vector>

#include "dk2/dk2.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return dravik::dk2::Run(args, std::cout, std::cerr);
}
