// libFuzzer target for the Jet reader: any bytes given as a Jet file end in tables or in a
// JetError, read whole or salvaged, never in a crash, a hang or runaway memory. A salvaged
// read of a file that reads whole must lose nothing. The reader takes a path (libmdb
// opens files itself), so each input is written to one scratch file first.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "jet_reader.h"

namespace {

const std::filesystem::path& scratch() {
  static const std::filesystem::path p =
      std::filesystem::temp_directory_path() / ("jet_reader_fuzz." + std::to_string(getpid()) + ".mdb");
  return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    std::ofstream out(scratch(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  bool whole = true;
  size_t rows = 0;
  try {
    jet::Reader reader(scratch());
    reader.links();
    for (const std::string& name : reader.tableNames()) {
      try {
        rows += reader.readTable(name).rows.size();
      } catch (const jet::JetError&) {
        whole = false;
      }
    }
  } catch (const jet::JetError&) {
    whole = false;
  }
  try {
    jet::SalvagedDatabase s = jet::salvageDatabase(scratch());
    size_t salvaged = 0;
    for (const jet::Table& t : s.database.tables) salvaged += t.rows.size();
    if (whole && (!s.losses.empty() || salvaged != rows)) {
      std::fprintf(stderr, "a file that reads whole lost rows when salvaged\n");
      std::abort();
    }
  } catch (const jet::JetError&) {
    if (whole) {
      std::fprintf(stderr, "a file that reads whole could not be salvaged\n");
      std::abort();
    }
  }
  return 0;
}
