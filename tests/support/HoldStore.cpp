// A second program that holds the checksum store, for the tests of a store
// in use elsewhere:
//   vexmoor_hold_store DB write|exclusive RELEASE_FILE
// takes the write lock ("write": other programs may still read) or every
// lock ("exclusive"), prints "held", and lets go once RELEASE_FILE exists
// (after a minute at most).
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "scan/store/Sqlite.h"

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const std::string mode = argv[2];
  try {
    vexmoor::TSqliteDb db(argv[1]);
    if (mode == "exclusive")
      db.Exec("PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; DELETE FROM meta WHERE 0;");
    else
      db.Exec("BEGIN IMMEDIATE; DELETE FROM meta WHERE 0;");
    std::printf("held\n");
    std::fflush(stdout);
    const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!std::filesystem::exists(argv[3]) && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    db.Exec("ROLLBACK");
  } catch (const std::exception& error) {
    std::printf("%s\n", error.what());
    return 1;
  }
  return 0;
}
