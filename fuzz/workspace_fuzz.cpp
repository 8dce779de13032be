// workspace_fuzz: the workspace file reader on any bytes. A file that reads is entered into a
// snapshot tree, which must then hold its invariant (every record listed once, under the record
// its parent id names, no cycles, the current snapshot present or 0); the tree must survive
// deletions; and writing the workspace and reading it back must give the same bytes again.
// The reader must never read past the input (AddressSanitizer sees that).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_set>

#include "app/document/files/workspace_file.h"

namespace korvane_fuzz {
namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "workspace_fuzz: %s\n", what);
  std::abort();
}

void CheckTree(const CSnapshotTree& tree) {
  std::unordered_set<int> seen;
  std::vector<int> pending = tree.Roots();
  for (int id : pending) {
    const Snapshot* s = tree.Lookup(id);
    if (!s) Fail("a root is not in the table");
    if (s->parentId != 0) Fail("a root has a parent");
  }
  while (!pending.empty()) {
    const int id = pending.back();
    pending.pop_back();
    if (!seen.insert(id).second) Fail("a snapshot is listed twice");
    const Snapshot* s = tree.Lookup(id);
    if (!s) Fail("a child is not in the table");
    for (int child : s->children) {
      const Snapshot* c = tree.Lookup(child);
      if (!c) Fail("a child is not in the table");
      if (c->parentId != id) Fail("a child's parent id names another record");
      pending.push_back(child);
    }
  }
  if (static_cast<int>(seen.size()) != tree.Count()) Fail("a snapshot cannot be reached from the roots");
  if (tree.Current() != 0 && !tree.Lookup(tree.Current())) Fail("the current snapshot is missing");
  tree.Table().ForEach([&tree](Snapshot& s) {
    if (s.id > tree.HighestId()) Fail("an id above the highest id");
  });
}

}  // namespace

int WorkspaceFuzzOne(const uint8_t* data, size_t size) {
  WorkspaceData d;
  if (CWorkspaceFile::Read(data, size, &d) != EWorkspaceError::None) return 0;
  CSnapshotTree tree;
  tree.LoadRecords(d.snapshots, d.currentSnapshot);
  CheckTree(tree);

  const std::string once = CWorkspaceFile::Write(d, tree);
  WorkspaceData again;
  if (CWorkspaceFile::Read(reinterpret_cast<const unsigned char*>(once.data()), once.size(), &again) !=
      EWorkspaceError::None)
    Fail("a written workspace does not read back");
  CSnapshotTree tree2;
  tree2.LoadRecords(again.snapshots, again.currentSnapshot);
  if (CWorkspaceFile::Write(again, tree2) != once) Fail("a written workspace reads back differently");

  // Deleting: the first root with its subtree, then the first remaining one without it, then a
  // new snapshot under whatever is current.
  if (!tree.Roots().empty()) tree.Delete(tree.Roots().front(), true);
  CheckTree(tree);
  if (!tree.Roots().empty()) tree.Delete(tree.Roots().front(), false);
  CheckTree(tree);
  if (tree.Add(d.pattern, d.flags, d.pattern, 0) <= 0 && tree.Count() < 0x7FFFFFFF) Fail("no id for a new snapshot");
  CheckTree(tree);
  return 0;
}

}  // namespace korvane_fuzz

#if defined(KORVANE_LIBFUZZER)
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return korvane_fuzz::WorkspaceFuzzOne(data, size);
}
#endif
