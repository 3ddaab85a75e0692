#include "extension.h"

#include <algorithm>
#include <map>

#include "connection.h"
#include "db_error.h"
#include "engine.h"
#include "extension_loops.h"
#include "session.h"
#include "jet_sql.h"
#include "text.h"

namespace store {

namespace {

std::vector<const Extension*>& registry() {
  static std::vector<const Extension*> extensions;
  return extensions;
}

std::string versionsTable(Engine& e) { return tableIdent(e.dialect(), kExtensionsTable); }

std::string createVersionsSql(Engine& e) {
  // Every role that opens the bank reads it, also where the table came after the roles' grants.
  if (e.dialect() == Dialect::Postgres)
    return "CREATE TABLE IF NOT EXISTS public.zx_extensions (name citext PRIMARY KEY, version bigint NOT NULL); "
           "GRANT SELECT ON public.zx_extensions TO PUBLIC;";
  return "CREATE TABLE IF NOT EXISTS zx_extensions (name TEXT COLLATE NOCASE PRIMARY KEY, version INTEGER NOT NULL);";
}

// Two programs opening an older bank on a server at the same moment: one upgrades it while the
// other waits, then finds it upgraded. A file's writer is alone anyway.
void holdUpgradeLock(Engine& e) {
  if (e.dialect() == Dialect::Postgres) e.query("SELECT pg_advisory_xact_lock(hashtext('zx_extensions'))")->next();
}

}  // namespace

void registerExtension(const Extension& ext) {
  auto& r = registry();
  for (const Extension*& known : r)
    if (equalsIgnoringCase(known->name(), ext.name())) {
      known = &ext;
      return;
    }
  r.push_back(&ext);
}

void unregisterExtension(const Extension& ext) {
  auto& r = registry();
  r.erase(std::remove(r.begin(), r.end(), &ext), r.end());
}

std::vector<const Extension*> registeredExtensions() { return registry(); }

const Extension* registeredExtension(const std::string& name) {
  for (const Extension* ext : registry())
    if (equalsIgnoringCase(ext->name(), name)) return ext;
  return nullptr;
}

std::vector<std::pair<std::string, int>> recordedExtensions(Engine& e) {
  std::vector<std::pair<std::string, int>> out;
  if (!e.hasTable(kExtensionsTable)) return out;
  auto rows = e.query("SELECT name, version FROM " + versionsTable(e) + " ORDER BY name");
  while (rows->next()) out.emplace_back(rows->column(0).toString(), static_cast<int>(rows->column(1).toInt()));
  return out;
}

int recordedVersion(Engine& e, const std::string& name) {
  for (const auto& [n, v] : recordedExtensions(e))
    if (equalsIgnoringCase(n, name)) return v;
  return 0;
}

void recordVersion(Engine& e, const std::string& name, int version) {
  e.script(createVersionsSql(e));
  // No UPSERT in the older file engine that the tests still read with.
  e.run("DELETE FROM " + versionsTable(e) + " WHERE name = " + e.param(1), {Value(name)});
  e.run("INSERT INTO " + versionsTable(e) + " (name, version) VALUES (" + e.param(1) + ", " + e.param(2) + ")",
        {Value(name), Value(static_cast<long long>(version))});
}

ExtensionBackend* extensionBackend(Connection& conn, const Extension& ext) {
  for (OpenExtension& o : conn.session().extensions())
    if (o.extension == &ext) return o.backend.get();
  return nullptr;
}

// ----- the loops

void createExtensions(Engine& e) {
  e.script(createVersionsSql(e));
  for (const Extension* ext : registry()) {
    std::unique_ptr<ExtensionBackend> b = ext->backendFor(e);
    if (!b->appliesTo()) continue;
    b->create();
    recordVersion(e, ext->name(), ext->version());
  }
}

std::vector<std::string> unknownExtensions(Engine& e, const std::string& fileName) {
  std::vector<std::string> out;
  for (const auto& [name, version] : recordedExtensions(e)) {
    const Extension* ext = registeredExtension(name);
    if (!ext)
      out.push_back(fileName + " keeps '" + name + "' (version " + std::to_string(version) +
                    "), which this program does not know");
    else if (version > ext->version())
      out.push_back(fileName + " keeps '" + name + "' at version " + std::to_string(version) +
                    ", newer than this program's " + std::to_string(ext->version()));
  }
  return out;
}

std::vector<OpenExtension> openExtensions(Engine& e) {
  if (std::vector<std::string> unknown = unknownExtensions(e, "The bank"); !unknown.empty())
    throw DbError(err::CannotOpen, unknown.front() + "; a newer program keeps it. This program would change the bank "
                                   "without keeping it, so it does not open it. Use the newer program.");
  std::vector<OpenExtension> out;
  const std::vector<std::pair<std::string, int>> recorded = recordedExtensions(e);
  for (const Extension* ext : registry()) {
    std::unique_ptr<ExtensionBackend> b = ext->backendFor(e);
    if (!b->appliesTo()) continue;
    int version = 0;
    for (const auto& [n, v] : recorded)
      if (equalsIgnoringCase(n, ext->name())) version = v;
    out.push_back({ext, std::move(b), version, false});
  }
  auto needsWork = [](OpenExtension& o) { return o.version < o.extension->version() || !o.backend->settled(); };
  bool pending = false;
  for (OpenExtension& o : out) {
    o.keeping = !needsWork(o);
    pending = pending || !o.keeping;
  }
  if (!pending) return out;
  try {
    e.begin();
    holdUpgradeLock(e);
    for (OpenExtension& o : out) {
      if (o.keeping) continue;
      o.version = recordedVersion(e, o.extension->name());  // another program may have done it meanwhile
      if (!needsWork(o)) continue;
      o.backend->upgrade(o.version);
      recordVersion(e, o.extension->name(), o.extension->version());
      o.version = o.extension->version();
    }
    e.commit();
  } catch (const DbError& failure) {
    e.rollback();
    // A bank that cannot be written cannot change either: it is read as it is.
    if (failure.number != err::ReadOnly) throw;
    for (OpenExtension& o : out) {
      o.version = recordedVersion(e, o.extension->name());
      o.keeping = o.backend->present();
    }
    return out;
  }
  for (OpenExtension& o : out) o.keeping = true;
  return out;
}

std::vector<std::string> extensionProblems(Engine& e, const std::string& fileName) {
  std::vector<std::string> out = unknownExtensions(e, fileName);
  for (const Extension* ext : registry()) {
    std::unique_ptr<ExtensionBackend> b = ext->backendFor(e);
    if (!b->appliesTo()) continue;
    for (const std::string& p : b->problems(recordedVersion(e, ext->name()))) out.push_back(fileName + ": " + p);
  }
  return out;
}

std::vector<std::string> takeExtensionRepairs(Connection& conn) {
  std::vector<std::string> out;
  for (const Extension* ext : registry())
    if (ExtensionBackend* b = extensionBackend(conn, *ext))
      for (const std::string& note : b->takeRepairNotes()) out.push_back(ext->name() + ": " + note);
  return out;
}

}  // namespace store
