#pragma once
// The shared test corpus (RTF and Jet files made elsewhere), read in place. Without it its
// cases skip, unless the build requires it (ZORBEX_REQUIRE_CORPUS): then a missing part of it
// fails the case that needs it, so that the suite is never thinned without a word.

#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>

namespace testing_support {

// Whether `path` of the corpus is there; when it is not and the corpus is required, the
// current case fails.
inline bool corpusHas(const std::filesystem::path& path) {
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) return true;
  if (ZORBEX_CORPUS_REQUIRED) ADD_FAILURE() << "the shared test corpus lacks " << path;
  return false;
}

}  // namespace testing_support

// Ends the case while `path` of the corpus is missing: a skip, or a failure when it is required.
#define SKIP_WITHOUT_CORPUS(path) \
  if (!testing_support::corpusHas(path)) GTEST_SKIP() << "corpus not present: " << (path)
