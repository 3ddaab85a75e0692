#include "bank_extensions.h"

#include "extension.h"
#include "history.h"

void registerBankExtensions() { store::registerExtension(history::extension()); }
