#pragma once
// The variant that record-set fields hold: Null, whole number, real number or text.

#include <cstdint>
#include <string>
#include <variant>

namespace store {

class Value {
 public:
  Value() = default;  // Null
  Value(std::nullptr_t) {}
  Value(int v) : v_(static_cast<std::int64_t>(v)) {}
  Value(long v) : v_(static_cast<std::int64_t>(v)) {}
  Value(long long v) : v_(static_cast<std::int64_t>(v)) {}
  Value(double v) : v_(v) {}
  Value(std::string v) : v_(std::move(v)) {}
  Value(const char* v) : v_(std::string(v)) {}

  bool isNull() const { return std::holds_alternative<std::monostate>(v_); }
  bool isInteger() const { return std::holds_alternative<std::int64_t>(v_); }
  bool isDouble() const { return std::holds_alternative<double>(v_); }
  bool isText() const { return std::holds_alternative<std::string>(v_); }
  bool isNumber() const { return isInteger() || isDouble(); }

  // Null reads as "" / 0; numbers as their shortest decimal text.
  std::string toString() const;
  // Text that holds a number converts; other text reads as 0.
  double toDouble() const;
  std::int64_t toInt() const;

  const std::string& text() const { return std::get<std::string>(v_); }
  friend bool operator==(const Value&, const Value&) = default;

 private:
  std::variant<std::monostate, std::int64_t, double, std::string> v_;
};

}  // namespace store
