// The host's counted mirror of a compiled pattern: one ElementRecord per element, with its
// place (offset and length) in the pattern text, built after every compile. The structure
// tree, the document's current element and the plugin API's CElement handles all read it; the
// records know nothing of the plugin API (the plugin host makes handles of them).
//
// Ownership: records are counted. A record is referenced by its parent's children array, by its
// previous sibling's next link, by its children's parent links, by CElement handles, and by the
// tree's own list of all records (m_all) while the tree lives. Every count change happens under
// the process-wide element lock. Clearing a tree first cuts every link of every record and only
// then drops the tree's own references, so frees never recurse deeply; records a plugin still
// holds survive as empty elements.
#ifndef KORVANE_ELEMENT_RECORDS_H
#define KORVANE_ELEMENT_RECORDS_H

#include <memory>
#include <mutex>
#include <vector>

#include "app/host_engine.h"

// The shared pattern text of one tree; SetText rewrites it in place.
struct PatternTextBuffer {
  std::vector<unsigned short> text;
};

struct ElementRecord {
  const HostElement* element = nullptr;   // none once cleared
  PatternTextBuffer* text = nullptr;      // owned by the tree; none once cleared
  int offset = 0;
  int length = 0;
  ElementRecord* parent = nullptr;        // counted
  ElementRecord* nextSibling = nullptr;   // counted
  std::vector<ElementRecord*> children;   // counted, in pattern order
  // The engine's element kind (ELEMENT_...), with the kinds the tree adds for whole groups and
  // mode modifiers; the plugin API passes it on unchanged. ELEMENT_NONE once cleared.
  int type = 0;
  int modified = 0;                       // set by SetText on the record and its ancestors
  int refCount = 0;                       // changed under the element lock only
  std::vector<unsigned short> name;       // zero-terminated group name (brackets and groups)
};

// The process-wide element lock; recursive, so that frees may take it again.
std::recursive_mutex& ElementLock();
void AddRefRecord(ElementRecord* r);
void ReleaseRecord(ElementRecord* r);
// Cuts the record's element, text, links and children (the subtree's records stay alive only
// through other references). Used at recompile and by SetText on an ancestor.
void ClearRecord(ElementRecord* r);

class CElementTree {
 public:
  CElementTree() = default;
  CElementTree(const CElementTree&) = delete;
  CElementTree& operator=(const CElementTree&) = delete;
  ~CElementTree() { Clear(); }

  // Clears the previous tree, then mirrors `re`, whose pattern is `pattern`.
  void Build(const HostRegexp& re, const unsigned short* pattern, int length);
  void Clear();

  ElementRecord* Root() const { return m_pRoot; }
  // The record of a compiled element (bisection over the map sorted by element), or null.
  ElementRecord* Lookup(const HostElement* e) const;
  // The compiled element of the innermost record enclosing [start, end), or null.
  const HostElement* FindInnermost(int start, int end) const;
  // All records, offset ascending and, for equal offsets, length descending.
  const std::vector<ElementRecord*>& OffsetList() const { return m_byOffset; }
  // The shared pattern buffer (plugins rewrite it through SetText) and whether they did.
  const std::vector<unsigned short>& Text() const { return m_text.text; }
  bool IsModified() const { return m_pRoot && m_pRoot->modified; }

 private:
  ElementRecord* BuildRecord(const HostElement* e, ElementRecord* parent, int depth);

  PatternTextBuffer m_text;
  ElementRecord* m_pRoot = nullptr;
  std::vector<ElementRecord*> m_all;  // counted; every record of the tree
  std::vector<std::pair<const HostElement*, ElementRecord*>> m_byElement;
  std::vector<ElementRecord*> m_byOffset;
};

#endif
