// A second (third, ...) running copy for the shared counter tests.
//   counter_helper NAME read          open, print the value
//   counter_helper NAME inc [N]       open, increment N times (default 1), print the value
//   counter_helper NAME crash N       open, increment N times, print the value, die by SIGKILL
//   counter_helper NAME hold          open, increment once, print the value, wait for a line on
//                                     standard input, print the value again and exit
// Each printed value is one line. Exit code 0, or 3 when the counter is not shared.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "platform/shared_counter.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  CSharedCounter counter;
  if (!counter.Open(QString::fromLocal8Bit(argv[1]))) return 3;
  const std::string command = argv[2];
  const int n = argc > 3 ? std::atoi(argv[3]) : 1;
  auto print = [&](int value) {
    std::printf("%d\n", value);
    std::fflush(stdout);
  };
  if (command == "read") {
    print(counter.Read());
  } else if (command == "inc") {
    int value = counter.Read();
    for (int i = 0; i < n; ++i) value = counter.Increment();
    print(value);
  } else if (command == "crash") {
    int value = counter.Read();
    for (int i = 0; i < n; ++i) value = counter.Increment();
    print(value);
    std::raise(SIGKILL);  // no destructors, no unlocking: the kernel cleans up
  } else if (command == "hold") {
    print(counter.Increment());
    std::string line;
    std::getline(std::cin, line);
    print(counter.Read());
  } else {
    return 2;
  }
  return 0;
}
