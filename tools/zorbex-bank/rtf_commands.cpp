#include <QByteArray>
#include <QTextDocument>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>

#include "commands.h"
#include "rtf/rtf_format.h"
#include "rtf/rtf_reader.h"
#include "rtf/rtf_writer.h"

namespace bank_tool {

namespace {

// Reads FILE, or standard input for "-": 0, or the exit status after a message.
int readInput(const Args& args, const char* command, QByteArray& out) {
  if (args.size() != 1) return usageError(std::string(command) + " FILE   (FILE \"-\" reads standard input)");
  std::string bytes;
  if (args[0] == "-") {
    bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    if (std::cin.bad()) {
      std::fprintf(stderr, "zorbex-bank: cannot read standard input.\n");
      return 1;
    }
  } else {
    std::ifstream file(args[0], std::ios::binary);
    if (file) bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (!file || file.bad()) {
      std::fprintf(stderr, "zorbex-bank: cannot read '%s'.\n", args[0].c_str());
      return 1;
    }
  }
  out = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
  return 0;
}

int writeOut(const QByteArray& bytes) {
  if (std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout) != static_cast<size_t>(bytes.size()) ||
      std::fflush(stdout) != 0) {
    std::fprintf(stderr, "zorbex-bank: cannot write the output.\n");
    return 1;
  }
  return 0;
}

}  // namespace

int cmdRtfText(const Args& args) {
  QByteArray rtf;
  if (int status = readInput(args, "rtf-text", rtf)) return status;
  QTextDocument doc;
  ui::rtf::readRtf(rtf, doc);
  return writeOut(ui::rtf::boxText(doc).toUtf8());
}

int cmdRtfRoundtrip(const Args& args) {
  QByteArray rtf;
  if (int status = readInput(args, "rtf-roundtrip", rtf)) return status;
  QTextDocument doc;
  ui::rtf::readRtf(rtf, doc);
  return writeOut(ui::rtf::writeRtf(doc));
}

}  // namespace bank_tool
