#include "value.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace store {

std::string Value::toString() const {
  if (isNull()) return {};
  if (isText()) return text();
  if (isInteger()) return std::to_string(std::get<std::int64_t>(v_));
  double d = std::get<double>(v_);
  if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e15)
    return std::to_string(static_cast<std::int64_t>(d));
  char buf[32];
  auto res = std::to_chars(buf, buf + sizeof buf, d);
  return std::string(buf, res.ptr);
}

double Value::toDouble() const {
  if (isNull()) return 0.0;
  if (isInteger()) return static_cast<double>(std::get<std::int64_t>(v_));
  if (isDouble()) return std::get<double>(v_);
  const std::string& s = text();
  size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return 0.0;
  double d = 0.0;
  auto res = std::from_chars(s.data() + b, s.data() + s.size(), d);
  return res.ec == std::errc() ? d : 0.0;
}

std::int64_t Value::toInt() const {
  if (isInteger()) return std::get<std::int64_t>(v_);
  double d = toDouble();
  if (!std::isfinite(d)) return 0;
  return static_cast<std::int64_t>(std::llround(d));
}

}  // namespace store
