#pragma once
// The ADO-shaped connection: provider and key set as properties, then Open with the bare
// file path; Execute runs one Jet statement; Close.

#include <memory>
#include <string>

#include "session.h"

namespace store {

inline constexpr const char* kJetProvider = "Microsoft.Jet.OLEDB.4.0";
inline constexpr const char* kPasswordProperty = "Jet OLEDB:Database Password";

class Connection {
 public:
  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void setProvider(const std::string& provider);
  const std::string& provider() const { return provider_; }
  // Dynamic properties; the one known is "Jet OLEDB:Database Password".
  void setProperty(const std::string& name, const std::string& value);

  void open(const std::string& connectionString);
  void open(const std::string& path, const std::string& key);  // both settings at once
  // Runs one statement; returns the number of rows it changed.
  long execute(const std::string& jetSql);
  void close();
  bool isOpen() const { return session_ != nullptr; }
  const std::string& path() const { return path_; }

  Session& session();  // 3704 when closed

 private:
  std::string provider_ = kJetProvider;
  std::string password_;
  std::string path_;
  std::unique_ptr<Session> session_;
};

}  // namespace store
