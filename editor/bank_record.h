#pragma once
// The editors hold a question as the bank's record and write it through the bank's stored
// version; these are their names in the editors.

#include "question_record.h"
#include "stored_version.h"

namespace editor {

using bank::FieldDef;
using bank::FieldType;
using bank::FieldWrite;
using bank::readRecord;
using bank::Record;
using bank::RecordFields;
using bank::recordFields;
using bank::StoredVersion;
using bank::writtenBy;

}  // namespace editor
