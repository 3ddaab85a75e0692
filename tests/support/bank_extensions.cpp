#include "bank_extensions.h"

#include "extension.h"
#include "history.h"
#include "search_index.h"

void registerBankExtensions() {
  store::registerExtension(history::extension());
  store::registerExtension(search::index::extension());
}
