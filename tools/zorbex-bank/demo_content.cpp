#include "commands.h"

namespace bank_tool {

void writeDemoContent(const std::filesystem::path&) {}

}  // namespace bank_tool
