// CQueryDescription: the runtime's analysis of a query taken apart once into lists the driver walks (files, items,
// index descriptors, key links and the entries of query kinds 3 and 4), with the items that identify a row and the
// answers the driver asks of a query: may a row be found again by its identity, which table column lies behind an
// item, does an item hold an aggregate. A record description is built from it; the table keeps it for the query's
// life. Every list holds a reference on its elements; the item references it keeps (identifying, automatic
// identifier, unique key, key, first link) point into its item list.
//
// CDescriptorSnapshot: an owned copy of the answers of one of the runtime's index descriptors (a GROUP BY item: its
// texts and its span in the statement's text), answered through the same operations.
#pragma once

#include <cstdint>

#include "engine/record/counted_list.h"
#include "foundation/ref_counted.h"
#include "foundation/t_string.h"
#include "host/host_objects.h"

class CErrorHolder;
class CHashTable;

class CDescriptorSnapshot : public IHostIndexDescriptor {
 public:
  explicit CDescriptorSnapshot(IHostIndexDescriptor* source);
  CDescriptorSnapshot(const CDescriptorSnapshot&) = delete;
  CDescriptorSnapshot& operator=(const CDescriptorSnapshot&) = delete;

  const char16_t* pszGetName() override;                 // slot 0
  std::uint32_t nGetNumber() override;                   // slot 1
  const char16_t* pszGetSecondText() override;           // slot 2
  const char16_t* pszGetThirdText() override;            // slot 3
  void GetIdentifier(std::uint8_t* out) override;        // slot 4
  const char16_t* pszGetFifthText() override;            // slot 5
  const char16_t* pszGetSixthText() override;            // slot 6
  std::uint32_t nGetTextStart() override;                // slot 7
  std::uint32_t nGetTextEnd() override;                  // slot 8
  virtual void DeletingDestructor(std::uint32_t flags);  // slot 9

  void AddRef() { ++m_nRefCount; }
  std::uint32_t nRelease();  // destroys at 0; a release at 0 is refused

 protected:
  virtual ~CDescriptorSnapshot() = default;

 private:
  CTString m_strName;
  CTString m_strSecondText;
  CTString m_strThirdText;
  CTString m_strFifthText;
  CTString m_strSixthText;
  std::uint32_t m_nNumber;
  std::uint32_t m_nTextStart;
  std::uint32_t m_nTextEnd;
  std::uint8_t m_abIdentifier[16];
  std::uint32_t m_nRefCount = 0;
};

// The parts of the runtime's analysis a query description holds: a reference on each.
template <typename T>
void AddPartReference(T* part) {
  part->AddRef();
}
template <typename T>
void ReleasePartReference(T* part) {
  part->Release();
}
inline void AddQueryItemReference(IHostItemDescription* item) { item->AddRef(); }
inline void ReleaseQueryItemReference(IHostItemDescription* item) { item->nRelease(); }
inline void AddSnapshotReference(CDescriptorSnapshot* snapshot) { snapshot->AddRef(); }
inline void ReleaseSnapshotReference(CDescriptorSnapshot* snapshot) { snapshot->nRelease(); }

template <typename T>
using CPartList = CCountedList<T, &AddPartReference<T>, &ReleasePartReference<T>>;
using CQueryItemList = CCountedList<IHostItemDescription, &AddQueryItemReference, &ReleaseQueryItemReference>;
using CSnapshotList = CCountedList<CDescriptorSnapshot, &AddSnapshotReference, &ReleaseSnapshotReference>;

class CQueryDescription : public CRefCounted {
 public:
  explicit CQueryDescription(CErrorHolder* errorHolder);
  // With a query: filled at once (bFill); a fill that ran out of memory leaves the holder's error.
  CQueryDescription(CErrorHolder* errorHolder, IHostQueryAnalysis* query, IHostNamedObject* linkedObject,
                    std::uint32_t skipExtras);
  ~CQueryDescription() override;

  // Shares the source's holder, query and list elements; 0 when the clone map or a list cannot grow.
  virtual int CopyFrom(CQueryDescription* source, CHashTable& cloneMap);
  // A new description by CopyFrom with a reference, or null.
  virtual CQueryDescription* pClone(CHashTable& cloneMap);

  // Reads the analysis into the lists; with no query it only resets. 0 with the out-of-memory error when a list
  // cannot grow.
  int bFill(IHostQueryAnalysis* query, IHostNamedObject* linkedObject, std::uint32_t skipExtras);

  IHostQueryFile* pNextFile(bool reset) { return m_files.pNext(reset); }
  IHostItemDescription* pNextItem(bool reset) { return m_items.pNext(reset); }
  CDescriptorSnapshot* pNextDescriptor(bool reset) { return m_descriptors.pNext(reset); }
  IHostKeyLink* pNextLink(bool reset) { return m_links.pNext(reset); }
  IHostQueryPart* pNextKind3Entry(bool reset) { return m_kind3Entries.pNext(reset); }
  IHostQueryPart* pNextKind4Entry(bool reset) { return m_kind4Entries.pNext(reset); }
  std::uint32_t nGetFileCount() const { return m_files.nGetCount(); }
  std::uint32_t nGetItemCount() const { return m_items.nGetCount(); }
  std::uint32_t nGetDescriptorCount() const { return m_descriptors.nGetCount(); }
  IHostItemDescription* pGetItem(std::uint32_t index) const { return m_items.pGet(index); }

  // Lookups by name ignore case and marks through the runtime's locale service.
  IHostItemDescription* pFindItem(const char16_t* name);
  // Whether the file of that name has an alias of another name; out gets the query's answer for that file, or,
  // when no file has the name, the query's lookup of the name.
  int pFindFile(const char16_t* name, void** out);
  void* pFindHostItem(const char16_t* name);
  // The item of the column: its name, its origin against the column's caption and its file (through the aliases)
  // against the column's table name.
  IHostItemDescription* pFindItemFile(IHostItemDescription* column);
  // Null for an empty name, no answer, or whatever the runtime throws.
  const char16_t* pResolveAlias(const char16_t* name);
  // The same through the given runtime statement (the description's own for pResolveAlias).
  static const char16_t* pResolveHostName(const char16_t* name, IHostQueryAnalysis* statement);
  // The table column behind an item that is not an expression; null for an expression or whatever the runtime throws.
  IHostItemDescription* pFindTableColumn(IHostItemDescription* item);
  int bIsAutomaticIdentifierItem(IHostItemDescription* item);
  int bIsUniqueKeyItem(IHostItemDescription* item);
  int bItemHasAggregate(IHostItemDescription* column);
  int bAllowsRowIdentity();

  void SetLinkedObject(IHostNamedObject* object);
  IHostNamedObject* pGetLinkedObject() const { return m_pLinkedObject; }
  std::uint32_t nGetLinkedObjectValue();
  IHostQueryAnalysis* pGetHostDescription();  // with a reference
  // The runtime statement's text, null without one: the source text the rewriter works on and names in errors.
  const char16_t* nGetHostQueryKind();

  std::uint32_t nGetKind() const { return m_nKind; }
  std::uint32_t bHasAggregateItem() const { return m_bHasAggregate; }
  std::uint32_t bHasNonUpdatableItem() const { return m_bHasNonUpdatableItem; }
  IHostItemDescription* pGetIdentifyingItem() const { return m_pIdentifyingItem; }
  IHostItemDescription* pGetAutomaticIdentifierItem() const { return m_pAutomaticIdentifierItem; }
  IHostItemDescription* pGetUniqueKeyItem() const { return m_pUniqueKeyItem; }
  IHostItemDescription* pGetKeyItem() const { return m_pKeyItem; }
  IHostItemDescription* pGetFirstLinkItem() const { return m_pFirstLinkItem; }
  CErrorHolder* pGetErrorHolder() const { return m_pErrorHolder; }

 private:
  void Reset();
  void ClassifyItem(IHostItemDescription* item);
  void SetQuery(IHostQueryAnalysis* query);
  void SetExtras(IHostQueryPart* first, IHostQueryPart* second);

  CErrorHolder* m_pErrorHolder = nullptr;
  IHostQueryAnalysis* m_pQuery = nullptr;
  std::uint32_t m_nKind = 0;
  IHostNamedObject* m_pLinkedObject = nullptr;
  IHostItemDescription* m_pIdentifyingItem = nullptr;
  IHostItemDescription* m_pAutomaticIdentifierItem = nullptr;
  IHostItemDescription* m_pUniqueKeyItem = nullptr;
  IHostItemDescription* m_pKeyItem = nullptr;
  IHostItemDescription* m_pFirstLinkItem = nullptr;
  CPartList<IHostQueryFile> m_files;
  CQueryItemList m_items;
  std::uint32_t m_bHasNonUpdatableItem = 0;
  std::uint32_t m_bHasAggregate = 0;
  CSnapshotList m_descriptors;
  CPartList<IHostKeyLink> m_links;
  CPartList<IHostQueryPart> m_kind3Entries;
  CPartList<IHostQueryPart> m_kind4Entries;
  IHostQueryPart* m_pFirstExtra = nullptr;
  IHostQueryPart* m_pSecondExtra = nullptr;
};

// Whether an expression tree holds an aggregate: a function call (kind 47) of code 15, 16, 29, 30 or 40, or any
// node other than a leaf (kinds 48, 49) with such a call below it.
int bHasAggregate(IHostExpressionNode* node);
// The sub-description kinds of the aggregates: 27 to 31.
int bIsAggregateKind(std::uint32_t kind);
int nIsFunctionExpressionCode(std::uint32_t code);
