// The runtime's side of a round trip through the driver: the driver object and the access interface called by slot
// as the runtime calls them, a table named by a file handle, and the record the runtime reads and writes in the
// table's record buffer at the offsets and null flags of the description's items. Tests and the command-line host
// drive the same steps through it. Runtime values (seek values, large values) are the caller's 36-byte values: the
// stand-in passes them on untouched.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "standin/runtime/runtime_objects.h"

namespace qzrt {

enum : std::uint32_t { kReadFirst = 0, kReadLast = 1, kReadNext = 2, kReadPrevious = 3 };

// A field as the runtime shows it: its value as text (numbers in decimal), nullopt for NULL.
using FieldText = std::optional<std::string>;
using Fields = std::vector<std::pair<std::string, FieldText>>;

// What an error holder tells the runtime: its error code (slot 6), the state it recorded (slot 7), the user message,
// file and item.
struct QZRT_API ErrorReport {
  std::uint32_t code = 0;
  std::uint32_t state = 0;
  std::string message;
  std::string file;
  std::string item;

  // The first "ORA-nnnnn" of the message, or "".
  std::string Ora() const;
};

QZRT_API ErrorReport ReadErrorHolder(void* holder);

// The driver object's connection, transaction and catalog operations.
class QZRT_API DriverSession {
 public:
  explicit DriverSession(void* driver) : m_driver(driver) {}

  void* Driver() const { return m_driver; }
  int Connect(ConnectionDescription& description);
  int Disconnect(ConnectionDescription& description);
  // One level of the connection's nested transaction, unnamed unless a name is given.
  int Begin(ConnectionDescription& description, const char16_t* name = nullptr);
  int Commit(ConnectionDescription& description, const char16_t* name = nullptr);
  int Rollback(ConnectionDescription& description, const char16_t* name = nullptr);
  // The access interface of a table description (the driver's record description), with the runtime's reference.
  void* AccessInterface(ConnectionDescription& connection, void* description);
  // Whether the database has the table: 1 with `found` set, 0 when the question could not be answered.
  int FindTable(ConnectionDescription& connection, const char16_t* table, std::uint32_t* found);
  // The driver's description of a table of the database, with the runtime's reference; null when there is none.
  void* Describe(ConnectionDescription& connection, const char16_t* table);
  // Closes the table registry of a runtime context: the tables of its file handles go.
  int CloseRegistry(std::uint64_t contextId);
  // The catalog list and a table's referential links, into the caller's runtime value.
  int ListCatalog(ConnectionDescription& connection, void* value, std::uint32_t flags);
  int ReferentialLinks(ConnectionDescription& connection, const char16_t* table, void* value);
  // Runs a query under a name for the file handle (the runtime's query object; flag 4: its SQL text as it stands) and
  // hands out the access interface that reads its rows, with the runtime's reference; null when there are none.
  void* RunQuery(ConnectionDescription& connection, FileHandle& handle, const char16_t* name, void* query,
                 std::uint32_t flags, int* answer);
  ErrorReport Error() const;

 private:
  void* m_driver;
};

// One table of an access interface, named by a file handle of its own.
class QZRT_API OpenTable {
 public:
  // Takes over the runtime's reference on the access interface. The record is read and written through the
  // interface's record description (a query's, once it ran).
  OpenTable(void* accessInterface, std::uint64_t contextId, std::uint64_t fileId);
  ~OpenTable();
  OpenTable(const OpenTable&) = delete;
  OpenTable& operator=(const OpenTable&) = delete;

  void* AccessInterface() const { return m_access; }
  FileHandle& Handle() { return m_handle; }

  // Drops the table when it exists, creates it (with the indexes of its keys) and opens it.
  int Create();
  int Open();
  int Close();
  // A read through the context of a key item; a lock mode of 2 or 3 locks the record read. Flag 0x4000 reads on
  // in the context a query run left.
  int Read(const char16_t* key, std::uint32_t direction, std::uint32_t lockMode = 0, std::uint32_t flags = 0);
  // Moves `count` records in the direction through the named context.
  int ReadBy(const char16_t* key, std::uint32_t direction, std::uint32_t count);
  // Whether the last move through the named context ran past an end of its rows (the record stays as it was, and is
  // no answer of the move); true too when the driver cannot tell.
  bool OutOfRange(const char16_t* key);
  // The position of the named context per mille of its records, and a move to such a position.
  int PerMille(const char16_t* key, std::uint32_t* perMille);
  int GoToPerMille(const char16_t* key, std::uint32_t perMille);
  // The first record whose key item holds the value (a runtime value).
  int Seek(const char16_t* key, void* value, bool exact = true);
  // The current record added as a new row.
  int Add();
  // Re-reads the current record to modify it, locked in modes 2 and 3.
  int Modify(std::uint32_t mode);
  // Writes the current record's changes (UPDATE); mode 0 or 1 releases its lock after, 2 and 3 keep it.
  int Write(std::uint32_t mode);
  int Delete(std::uint32_t mode);
  // Modes 2 and 3 lock the current record, 0 and 1 release it.
  int LockRecord(std::uint32_t mode);
  // The table locked in the mode (0 and 1 lock nothing), and unlocked.
  int LockTable(std::uint32_t mode);
  int UnlockTable();
  // A large item (by its index among the description's large items) read into or written from a runtime value.
  int ReadLarge(std::uint32_t index, void* value);
  int WriteLarge(std::uint32_t index, void* value);

  // The current record's field of an item of the description: written (nullopt: NULL) or read. A text for a number
  // field must be a decimal integer, one for a date-time field the text read shows ("2024-01-31T10:20:30.000"). False, or nullopt, when the table has no current record or no such item.
  bool SetField(const char16_t* name, const FieldText& value);
  FieldText Field(const char16_t* name);
  // Every field of the current record, in the description's item order.
  Fields Record();
  ErrorReport Error();

 private:
  void* m_access;
  FileHandle m_handle;
};

}  // namespace qzrt
