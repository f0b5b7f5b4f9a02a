#include <iostream>

#include "tools/bflytool/Bflytool.h"

int main(int argc, char** argv) {
  return RunBflytool(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
