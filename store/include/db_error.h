#pragma once
// Every failure of the database component, numbered as the callers expect.

#include <stdexcept>
#include <string>

namespace store {

namespace err {
inline constexpr long ObjectClosed = 3704;           // operation on a closed object
inline constexpr long NoCurrentRecord = 3021;        // BOF or EOF, no current record
inline constexpr long NotUpdatable = 3251;           // read-only record set assigned to
inline constexpr long ItemNotFound = 3265;           // no field / table definition of that name
inline constexpr long FileNotFound = 3024;           // DAO: linked or compacted file missing
inline constexpr long DaoBadPassword = 3031;         // DAO: wrong key or not our file
inline constexpr long DaoObjectNotFound = 3011;      // DAO: linked source table missing
inline constexpr long DatabaseExists = 3204;         // compaction destination exists
inline constexpr long DaoTableExists = 3010;         // DAO: append of a name already used
inline constexpr long BadPassword = -2147217843;     // wrong key, or not a database of ours
inline constexpr long TableNotFound = -2147217865;   // table or query not found
inline constexpr long Generic = -2147467259;         // duplicate key, missing file, other failures
inline constexpr long CommandError = -2147217900;    // error in the command text
inline constexpr long MissingParameter = -2147217904;  // unknown column name in a statement
inline constexpr long RowNotFound = -2147217864;     // the row to update is gone or moved since it was read
// Failures of the file and the engine under it, each with its own number so that a caller
// never takes one for another (a locked bank is not a repeated question number).
inline constexpr long NoTransaction = -2147168242;  // commit or rollback with none begun
inline constexpr long FieldRequired = 3314;          // a field that must have a value got Null
inline constexpr long Locked = 3218;                 // another program holds the file; try again
inline constexpr long ReadOnly = 3027;               // file, folder or connection is read-only
inline constexpr long DiskFull = 3026;               // no space left on the disk
inline constexpr long DiskError = 3043;              // the disk or network failed to read or write
inline constexpr long Damaged = 3049;                // the file is damaged (corrupt pages)
inline constexpr long CannotOpen = 3051;             // the file cannot be opened (permissions, a folder)
// Misuse of the component's objects.
inline constexpr long AlreadyOpen = 3705;            // a connection or record set opened twice, or changed while open
inline constexpr long ProviderNotFound = 3706;       // a provider other than Jet's
inline constexpr long DaoObjectClosed = 3420;        // DAO: a database object used after Close
inline constexpr long DaoNoConnect = 3170;           // DAO: a link without a database file, or no link at all
inline constexpr long DaoNotInDatabase = 3219;       // DAO: a table definition that belongs to no database
inline constexpr long DaoNoFields = 3264;            // DAO: a table definition with no fields and no link
// Bank files: compaction's own failures.
inline constexpr long CopyDiffers = 3428;            // the compact copy is not equivalent to the bank
inline constexpr long ReplaceFailed = 3056;          // the bank could not be replaced by the copy
// A bank on a server: the server could not be reached, or the connection to it was lost.
inline constexpr long ServerUnreachable = 3151;
// Failures of the program's own files, outside the database.
inline constexpr long FileDiskFull = 61;             // a file could not be written: the disk is full
inline constexpr long FileAccess = 75;               // a file could not be written: path or access
}  // namespace err

// What the engine underneath a failure found, for the callers that act on its kind (a file held
// by another connection is tried again later; a full disk or a damaged page is named in their own
// words) rather than on its number. None for every failure that the component itself finds and
// for the server's failures, which their numbers tell apart.
enum class EngineFault {
  None,
  Busy,          // another connection holds the file or a lock in it
  DiskFull,      // no room left for the file or its log
  IoError,       // the disk or network failed to read or write
  Damaged,       // a page of the file is corrupt
  NotADatabase,  // the key does not open the first page, or the file is no database (or empty)
  ReadOnly,      // the file, its folder or the connection cannot be written
  CannotOpen,    // the file cannot be opened (missing, permissions, a folder)
  Constraint,    // a rule of a table (unique, not null) refused the change
  NoEncryption,  // the engine's library cannot encrypt
  Statement,     // the engine's plain error: a fault of the statement or of what it names
  Other,
};

class DbError : public std::runtime_error {
 public:
  DbError(long number, std::string description)
      : std::runtime_error(description), number(number), description(std::move(description)) {}
  DbError(long number, std::string description, EngineFault fault, std::string engineMessage)
      : std::runtime_error(description),
        number(number),
        description(std::move(description)),
        fault(fault),
        engineMessage(std::move(engineMessage)) {}
  long number;
  std::string description;
  EngineFault fault = EngineFault::None;
  // The engine's own words for the failure, where it reported one (for a message that quotes it).
  std::string engineMessage;
  // Whether another connection had what the failed step needed: waiting may help.
  bool busy() const { return fault == EngineFault::Busy; }
  // number + ":" + description, the form in which the program shows an error.
  std::string message() const { return std::to_string(number) + ":" + description; }
};

// How both engines begin the description of a write refused because it would repeat the value
// of a field that must be unique (a question number, say).
inline constexpr const char* kRepeatedValue =
    "The changes were not made because they would repeat a value in a field that must be unique";

// Whether e is such a refusal.
inline bool isKeyViolation(const DbError& e) {
  return e.number == err::Generic && e.description.rfind(kRepeatedValue, 0) == 0;
}

// How a server bank begins the description of a statement that waited for another session past
// the lock or statement timeout (3218); the rest names the table and who holds it.
inline constexpr const char* kHeldTooLong = "The server waited too long for another session";

// Whether e is such a wait: waiting again at once would only wait as long again.
inline bool isHeldTooLong(const DbError& e) {
  return e.number == err::Locked && e.description.rfind(kHeldTooLong, 0) == 0;
}

}  // namespace store
