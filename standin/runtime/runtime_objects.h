// The runtime's own objects that the driver calls by slot number: the connection description, the table (file)
// description, the registry key and the file handle, the runtime object handed over as a query source, the SQL query
// object and the key translator of a registry copy. Each declares its operations in the runtime's slot order (slots
// the driver never calls keep the later ones in place), answers what a test set, and logs every call with its
// arguments. Tests own these objects: the references the driver takes and gives back are only counted, never acted
// on, so a test can check that they balance.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "standin/runtime/runtime_standin.h"

namespace qzrt {

// One call the driver made: the slot and its arguments as integers (pointers by address).
struct Call {
  std::size_t slot;
  std::vector<std::int64_t> arguments;
  bool operator==(const Call&) const = default;
};

// What a stand-in object throws from a slot a test chose (SlotObject::ThrowAt).
struct QZRT_API SlotFault {
  std::size_t slot;
};

// The answers and the call log shared by every stand-in object. Texts are zero-terminated UTF-16 owned by the
// object; an unset text answers null, as the runtime does for a missing value.
class QZRT_API SlotObject {
 public:
  SlotObject(const SlotObject&) = delete;
  SlotObject& operator=(const SlotObject&) = delete;

  void SetText(std::size_t slot, std::optional<std::u16string> text);
  void SetNumber(std::size_t slot, std::int64_t value);
  // A span of the statement's text: its start answered at the slot, its end (one past) at the next one.
  void SetSpan(std::size_t startSlot, std::uint32_t start, std::uint32_t end);

  // From now on a call of this slot throws SlotFault{slot} after it was logged; npos: never.
  void ThrowAt(std::size_t slot);

  std::vector<Call> Calls() const;
  std::vector<std::size_t> CalledSlots() const;
  std::size_t CallCount(std::size_t slot) const;
  void ClearCalls();

  // References the driver holds: taken by the add-reference slot, given back by the release slot; 1 (the runtime's
  // own) at construction.
  std::int32_t References() const;

  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

 protected:
  SlotObject() = default;
  ~SlotObject() = default;

  void Note(std::size_t slot, std::initializer_list<std::int64_t> arguments = {});
  const char16_t* Text(std::size_t slot) const;
  std::int64_t Number(std::size_t slot, std::int64_t fallback) const;
  std::int32_t AddReference();
  std::int32_t DropReference();
  std::intptr_t Unused(std::size_t slot);
  // A logged call of the slot that answers its text, or its number (the fallback until one is set).
  const char16_t* TextSlot(std::size_t slot);
  std::int64_t NumberSlot(std::size_t slot, std::int64_t fallback = 0);
  std::unique_lock<std::mutex> Lock() const { return std::unique_lock(m_mutex); }

  template <typename T>
  static std::int64_t Arg(T* pointer) {
    return static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(pointer));
  }

 private:
  mutable std::mutex m_mutex;
  std::map<std::size_t, std::optional<std::u16string>> m_texts;
  std::map<std::size_t, std::int64_t> m_numbers;
  std::vector<Call> m_calls;
  std::size_t m_throwAt = npos;
  std::int32_t m_references = 1;
};

#define QZRT_UNUSED_SLOT(n) \
  virtual std::intptr_t Slot##n() { return Unused(n); }

// The five header slots of a runtime object that the driver never calls.
class QZRT_API HeaderSlots : public SlotObject {
 public:
  QZRT_UNUSED_SLOT(0)
  QZRT_UNUSED_SLOT(1)
  QZRT_UNUSED_SLOT(2)
  QZRT_UNUSED_SLOT(3)
  QZRT_UNUSED_SLOT(4)

 protected:
  HeaderSlots() = default;
};

// The runtime's connection description. Texts are null until set; the interface version answers 4, every number 0
// until set.
class QZRT_API ConnectionDescription : public SlotObject {
 public:
  enum : std::size_t {
    kInterfaceVersion = 0,
    kAddRef = 5,
    kRelease = 6,
    kUserId = 7,
    kPassword = 8,
    kDataSource = 9,
    kReadOnly = 11,
    kProvider = 14,
    kConnectionTimeout = 15,
    kCommandTimeout = 16,
    kExtendedInformation = 17,
    kName = 18,
    kCursorLocation = 19,
    kNamedParameterFlag = 20,
    kDatabase = 21,
    kCacheSize = 22,
    kLabel = 25,
  };

  ConnectionDescription() = default;

  virtual std::uint32_t nGetInterfaceVersion();  // 0
  QZRT_UNUSED_SLOT(1)
  QZRT_UNUSED_SLOT(2)
  QZRT_UNUSED_SLOT(3)
  QZRT_UNUSED_SLOT(4)
  virtual std::int32_t AddRef(std::int32_t a, std::int32_t b);  // 5
  virtual std::int32_t nRelease();                              // 6
  virtual const char16_t* pszGetUserId();                       // 7
  virtual const char16_t* pszGetPassword();                     // 8
  virtual const char16_t* pszGetDataSource();                   // 9
  QZRT_UNUSED_SLOT(10)
  virtual std::int32_t bIsReadOnly();  // 11: 1 opens the connection for reading only
  QZRT_UNUSED_SLOT(12)
  QZRT_UNUSED_SLOT(13)
  virtual const char16_t* pszGetProvider();             // 14
  virtual std::int32_t nGetConnectionTimeout();         // 15
  virtual std::int32_t nGetCommandTimeout();            // 16
  virtual const char16_t* pszGetExtendedInformation();  // 17
  virtual const char16_t* pszGetName();                 // 18
  virtual std::uint32_t nGetCursorLocation();           // 19: bit 0 server, bit 1 client
  virtual std::int32_t nGetNamedParameterFlag();        // 20
  virtual const char16_t* pszGetDatabase();             // 21
  virtual std::int64_t nGetCacheSize();                 // 22: asked from interface version 4 on
  QZRT_UNUSED_SLOT(23)
  QZRT_UNUSED_SLOT(24)
  virtual const char16_t* pszGetLabel();  // 25
};

// The runtime's description of one item (a column or an expression of a file or query), in the slot order of the
// runtime's item-description interface (the one the driver's column descriptor implements too). Every query answers
// the number or text a test set for its slot: the interface level 9 and the element count 1 until set, every other
// number 0, texts null. Slot 38 is the item's kind (0 a column, 1 an expression), 39 its sub-description (an item
// too, whose kind is its slot 38), 44 the runtime's own item type code. A component (slot 31, from 1) and the
// sub-description are handed out as they were set; the component with a reference taken on it.
class QZRT_API ItemDescription : public SlotObject {
 public:
  enum : std::size_t {
    kInterfaceLevel = 0,
    kAddRef = 5,
    kRelease = 6,
    kName = 7,
    kElementCount = 8,
    kSize = 9,
    kDataLength = 10,
    kTotalSize = 11,
    kType = 12,
    kPosition = 13,
    kKeyed = 14,
    kMemo = 15,
    kTextMemo = 16,
    kBinaryMemo = 17,
    kNumeric = 18,
    kText = 19,
    kKeyNumber = 20,
    kComponentCount = 21,
    kPrimaryKey = 22,
    kUnique = 23,
    kKeyWithDuplicates = 24,
    kCompositeKey = 25,
    kAscendingKey = 26,
    kDescending = 27,
    kFlag0080 = 28,
    kFlag0040 = 29,
    kFlag0020 = 30,
    kComponent = 31,
    kElementOffset = 32,
    kNullFlagIndex = 33,
    kDefaultValue = 34,
    kSecondName = 35,
    kAlias = 36,
    kThirdName = 37,
    kItemKind = 38,
    kSubDescription = 39,
    kPrecision = 40,
    kScale = 41,
    kCaption = 42,
    kTableName = 43,
    kItemTypeCode = 44,
    kUpdatable = 46,
    kOption4Clear = 48,
    kSetOption4 = 49,
    kOrigin = 50,
    kFileName = 51,
    kExpression = 52,
    kNullAllowed = 54,
    kDestroy = 55,
    kSetPrecision = 56,
    kSetScale = 57,
    kCopyAs = 58,
    kTextStart = 59,
    kTextEnd = 60,
  };

  explicit ItemDescription(const std::u16string& name);

  virtual std::uint32_t nGetInterfaceLevel();                     // 0
  virtual std::int32_t nReturnOne1();                             // 1
  virtual std::int32_t nReturnMinusOne2();                        // 2
  virtual std::int32_t nReturnMinusOne3();                        // 3
  virtual void DoNothing4();                                      // 4
  virtual std::uint32_t AddRef();                                 // 5
  virtual std::uint32_t nRelease();                               // 6
  virtual const char16_t* pszGetName();                           // 7
  virtual std::uint32_t nGetElementCount();                       // 8
  virtual std::uint32_t nGetSize();                               // 9
  virtual std::uint32_t nGetDataLength(std::int32_t element);     // 10
  virtual std::uint32_t nGetTotalSize();                          // 11
  virtual std::uint32_t nGetType();                               // 12
  virtual std::uint32_t nGetPosition();                           // 13
  virtual std::int32_t bIsKeyed();                                // 14
  virtual std::int32_t bIsMemo();                                 // 15
  virtual std::int32_t bIsTextMemo();                             // 16
  virtual std::int32_t bIsBinaryMemo();                           // 17
  virtual std::int32_t bIsNumeric();                              // 18
  virtual std::int32_t bIsText();                                 // 19
  virtual std::uint32_t nGetKeyNumber();                          // 20
  virtual std::uint32_t nGetComponentCount();                     // 21
  virtual std::int32_t bIsPrimaryKey();                           // 22
  virtual std::int32_t bIsUnique();                               // 23
  virtual std::int32_t bIsKeyWithDuplicates();                    // 24
  virtual std::int32_t bIsCompositeKey();                         // 25
  virtual std::int32_t bIsAscendingKey();                         // 26
  virtual std::int32_t bIsDescending();                           // 27
  virtual std::int32_t bHasFlag0080();                            // 28
  virtual std::int32_t bHasFlag0040();                            // 29
  virtual std::int32_t bHasFlag0020();                            // 30
  virtual void* pGetComponent(std::uint32_t index);               // 31
  virtual std::uint32_t nGetElementOffset(std::int32_t element);  // 32
  virtual std::uint32_t nGetNullFlagIndex(std::int32_t element);  // 33
  virtual void* pGetDefaultValue();                               // 34: null
  virtual const char16_t* pszGetSecondName();                     // 35
  virtual const char16_t* pszGetAlias();                          // 36
  virtual const char16_t* pszGetThirdName();                      // 37
  virtual std::uint32_t nGetItemKind();                           // 38
  virtual void* piGetSubDescription();                            // 39
  virtual std::uint32_t nGetPrecision();                          // 40
  virtual std::uint32_t nGetScale();                              // 41
  virtual const char16_t* pszGetCaption();                        // 42
  virtual const char16_t* pszGetTableName();                      // 43
  virtual std::uint32_t nGetItemTypeCode();                       // 44
  QZRT_UNUSED_SLOT(45)
  virtual std::int32_t bIsUpdatable();  // 46: 1 until set
  QZRT_UNUSED_SLOT(47)
  virtual std::int32_t bIsOption4Clear();       // 48
  virtual void SetOption4(std::int32_t clear);  // 49
  virtual const char16_t* pszGetOrigin();       // 50
  virtual const char16_t* pszGetFileName();     // 51
  virtual void* piGetExpression();              // 52
  QZRT_UNUSED_SLOT(53)
  virtual std::int32_t bIsNullAllowed();                            // 54
  virtual void DeletingDestructor(std::uint32_t flags);             // 55: logged only; tests own the item
  virtual void SetPrecision(std::uint32_t precision);               // 56
  virtual void SetScale(std::uint32_t scale);                       // 57
  virtual void* pCopyAs(void* description, std::uint32_t options);  // 58: null
  virtual std::uint32_t nGetTextStart();                            // 59: a select item's or INSERT column's span
  virtual std::uint32_t nGetTextEnd();                              // 60

  void AddComponent(ItemDescription* component);
  void SetSubDescription(ItemDescription* sub);
  // The expression tree of an expression item (an ExpressionNode of query_objects.h); null until set.
  void SetExpression(void* node) { m_pExpression = node; }

 private:
  std::uint32_t Unsigned(std::size_t slot, std::int64_t fallback = 0) {
    return static_cast<std::uint32_t>(NumberSlot(slot, fallback));
  }
  std::int32_t Signed(std::size_t slot, std::int64_t fallback = 0) {
    return static_cast<std::int32_t>(NumberSlot(slot, fallback));
  }

  std::vector<ItemDescription*> m_components;
  ItemDescription* m_pSubDescription = nullptr;
  void* m_pExpression = nullptr;
};

// The runtime's description of a table or query, in the slot order of the runtime's file-description interface
// (the one the driver's record description implements too). The SQL table name (slot 21) is the name unless set.
class QZRT_API TableDescription : public SlotObject {
 public:
  enum : std::size_t {
    kInterfaceLevel = 0,
    kAddExternalRef = 5,
    kReleaseExternal = 6,
    kName = 7,
    kName2 = 8,
    kRecordSize = 10,
    kFullSize = 11,
    kItemCount = 12,
    kKeyCount = 13,
    kLargeItemCount = 14,
    kColumnCount = 15,
    kSqlTableName = 21,
    kSecondaryName = 23,
    kTertiaryName = 24,
    kOwnerName = 25,
    kDatabaseName = 26,
  };

  explicit TableDescription(const std::u16string& name);

  virtual std::uint32_t nGetInterfaceLevel();  // 0
  virtual std::int32_t nReturnOne1();          // 1
  virtual std::int32_t nReturnMinusOne2();     // 2
  virtual std::int32_t nReturnMinusOne3();     // 3
  virtual void DoNothing4();                   // 4
  virtual std::int32_t AddExternalRef();       // 5
  virtual std::int32_t nReleaseExternal();     // 6
  virtual const char16_t* pszGetName();        // 7
  virtual const char16_t* pszGetName2();       // 8
  virtual const char16_t* pszGetEmptyText();   // 9
  virtual std::uint32_t nGetRecordSize();      // 10
  virtual std::uint32_t nGetFullSize();        // 11
  virtual std::uint32_t nGetItemCount();       // 12
  virtual std::uint32_t nGetKeyCount();        // 13
  virtual std::uint32_t nGetLargeItemCount();  // 14
  virtual std::uint32_t nGetColumnCount();     // 15
  // The item lookups hand out listed items (AddItem) with a reference taken, null when none: slot 16 by position,
  // 17 by name (without case), 18 the keys (keyed items in key-number order), 19 the large items (memos), 22 the
  // primary key, else the first unique key, else the first key. The counts (slots 12 to 14) are the numbers listed
  // unless set.
  virtual void* piGetItem(std::uint32_t index);       // 16
  virtual void* piFindItem(const char16_t* name);     // 17
  virtual void* piGetKey(std::uint32_t index);        // 18
  virtual void* piGetLargeItem(std::uint32_t index);  // 19
  virtual std::int32_t nReturnOne20();                // 20
  virtual const char16_t* pszGetSqlTableName();       // 21
  virtual void* piGetIdentifyingKey();                // 22
  virtual const char16_t* pszGetSecondaryName();      // 23
  virtual const char16_t* pszGetTertiaryName();       // 24
  virtual const char16_t* pszGetOwnerName();          // 25
  virtual const char16_t* pszGetDatabaseName();       // 26

  void AddItem(ItemDescription* item);

 private:
  std::vector<ItemDescription*> Keys() const;
  std::vector<ItemDescription*> LargeItems() const;

  std::vector<ItemDescription*> m_items;
};

// The runtime's file handle: it names a table in every access-interface call by a context identifier (slot 8), the
// table registry it belongs to, and a file identifier (slot 7) within that context.
class QZRT_API FileHandle : public HeaderSlots {
 public:
  enum : std::size_t { kFileId = 7, kContextId = 8 };

  FileHandle(std::uint64_t contextId, std::uint64_t fileId);

  QZRT_UNUSED_SLOT(5)
  QZRT_UNUSED_SLOT(6)
  virtual std::uint64_t nGetFileId();     // 7
  virtual std::uint64_t nGetContextId();  // 8

  void SetIdentifiers(std::uint64_t contextId, std::uint64_t fileId);
};

// The runtime's registry key object: the driver keys its table registries by the 64-bit value of slot 8, the same
// question it asks a file handle for its context, so a registry key is a file handle that names no file.
class QZRT_API RegistryKey : public FileHandle {
 public:
  explicit RegistryKey(std::uint64_t key) : FileHandle(key, 0) {}
};

// A named runtime object: what the driver object hands an access interface as its query source (driver slot 29).
// It begins with the runtime's interface header; slot 8 answers whether it still keeps a pending result (0 by
// default).
class QZRT_API RuntimeObject : public HeaderSlots {
 public:
  enum : std::size_t { kAddExternalRef = 5, kReleaseExternal = 6, kName = 7, kPending = 8 };

  explicit RuntimeObject(const std::u16string& name);

  virtual std::int32_t AddExternalRef();    // 5
  virtual std::int32_t nReleaseExternal();  // 6
  virtual const char16_t* pszGetName();     // 7
  virtual std::uint32_t nGetPending();      // 8
};

// The runtime's SQL query object of a query run. Slot 19 answers questions about the runtime's libraries: asked with
// (15, 28, address) it writes the SQL engine library's version (23 by default) at the address and answers non-zero
// (1 by default); an answer of 0 leaves the address untouched.
class QZRT_API SqlQuery : public HeaderSlots {
 public:
  enum : std::size_t { kLibraryQuestion = 19 };

  SqlQuery() = default;

  QZRT_UNUSED_SLOT(5)
  QZRT_UNUSED_SLOT(6)
  QZRT_UNUSED_SLOT(7)
  QZRT_UNUSED_SLOT(8)
  QZRT_UNUSED_SLOT(9)
  QZRT_UNUSED_SLOT(10)
  QZRT_UNUSED_SLOT(11)
  QZRT_UNUSED_SLOT(12)
  QZRT_UNUSED_SLOT(13)
  QZRT_UNUSED_SLOT(14)
  QZRT_UNUSED_SLOT(15)
  QZRT_UNUSED_SLOT(16)
  QZRT_UNUSED_SLOT(17)
  QZRT_UNUSED_SLOT(18)
  virtual std::int32_t nQueryLibrary(std::int32_t question, std::int32_t library, std::uint32_t* version);  // 19

  void SetLibraryAnswer(std::int32_t answer, std::uint32_t version);

 private:
  std::int32_t m_libraryAnswer = 1;
  std::uint32_t m_libraryVersion = 23;
};

// The key translator of a registry copy (driver slot 10): slot 5 gives the new file identifier of an old one and
// answers 1, or answers 0 for a file that is not copied.
class QZRT_API KeyTranslator : public HeaderSlots {
 public:
  enum : std::size_t { kTranslate = 5 };

  KeyTranslator() = default;

  virtual std::int32_t bTranslateKey(std::uint64_t oldKey, std::uint64_t* newKey);  // 5

  void SetTranslation(std::uint64_t oldKey, std::uint64_t newKey);

 private:
  std::map<std::uint64_t, std::uint64_t> m_translations;
};

#undef QZRT_UNUSED_SLOT

}  // namespace qzrt
