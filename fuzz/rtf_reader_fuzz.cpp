// libFuzzer target for the RTF reader. Besides crashes, hangs and runaway memory, it
// checks that what the writer makes of any input is stable: reading our own output and
// writing it again gives the same bytes.
#include <QByteArray>
#include <QTextDocument>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "rtf/rtf_format.h"
#include "rtf/rtf_reader.h"
#include "rtf/rtf_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  QTextDocument first;
  ui::rtf::readRtf(input, first);
  const QString text = ui::rtf::boxText(first);
  const QByteArray written = ui::rtf::writeRtf(first);

  QTextDocument second;
  ui::rtf::readRtf(written, second);
  if (ui::rtf::boxText(second) != text) {
    std::fprintf(stderr, "text changed by a write and read\n");
    std::abort();
  }
  if (ui::rtf::writeRtf(second) != written) {
    std::fprintf(stderr, "writing our own output again changed it\n");
    std::abort();
  }
  return 0;
}
