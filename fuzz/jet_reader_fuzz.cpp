// libFuzzer target for the Jet reader: any bytes given as a Jet file end in tables or in a
// JetError, never in a crash, a hang or runaway memory. The reader takes a path (libmdb
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
  try {
    jet::Reader reader(scratch());
    reader.links();
    for (const std::string& name : reader.tableNames()) {
      try {
        reader.readTable(name);
      } catch (const jet::JetError&) {
      }
    }
  } catch (const jet::JetError&) {
  }
  return 0;
}
