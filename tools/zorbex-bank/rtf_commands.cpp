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

// Reads FILE, or standard input for "-". False, with a message, when it cannot.
bool readInput(const Args& args, const char* command, QByteArray& out) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: zorbex-bank %s FILE   (FILE \"-\" reads standard input)\n", command);
    return false;
  }
  std::string bytes;
  if (args[0] == "-") {
    bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    if (std::cin.bad()) {
      std::fprintf(stderr, "zorbex-bank: cannot read standard input.\n");
      return false;
    }
  } else {
    std::ifstream file(args[0], std::ios::binary);
    if (file) bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (!file || file.bad()) {
      std::fprintf(stderr, "zorbex-bank: cannot read '%s'.\n", args[0].c_str());
      return false;
    }
  }
  out = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
  return true;
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
  if (!readInput(args, "rtf-text", rtf)) return 1;
  QTextDocument doc;
  ui::rtf::readRtf(rtf, doc);
  return writeOut(ui::rtf::boxText(doc).toUtf8());
}

int cmdRtfRoundtrip(const Args& args) {
  QByteArray rtf;
  if (!readInput(args, "rtf-roundtrip", rtf)) return 1;
  QTextDocument doc;
  ui::rtf::readRtf(rtf, doc);
  return writeOut(ui::rtf::writeRtf(doc));
}

}  // namespace bank_tool
