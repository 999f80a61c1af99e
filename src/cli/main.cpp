#include <cstring>
#include <iostream>

#include "tarnwick/version.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::cout << "tarnwick " << TARNWICK_VERSION << "\n";
      return 0;
    }
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::cout << "Usage: tarnwick [--version] [--help]\n\n"
                   "Tarnwick turns a MySQL or SQLite database and a template into a PHP web\n"
                   "application.\n\n"
                   "Options:\n"
                   "  --version  print the engine version and exit\n"
                   "  --help     print this help and exit\n";
      return 0;
    }
  }
  std::cerr << "tarnwick: no command given (see tarnwick --help)\n";
  return 2;
}
