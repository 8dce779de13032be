// Covered by app/document/files/tests/workspace_file_test.cpp and fuzz/workspace_fuzz.cpp.
#include "app/document/files/workspace_file.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>

namespace {

class CWriter {
 public:
  void Int(std::int32_t v) {
    const std::uint32_t u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) m_out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
  }
  void Float(float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, 4);
    Int(static_cast<std::int32_t>(u));
  }
  void String(const std::vector<unsigned short>& s) {
    Int(static_cast<std::int32_t>(s.size()));
    for (unsigned short c : s) {
      m_out.push_back(static_cast<char>(c & 0xFF));
      m_out.push_back(static_cast<char>(c >> 8));
    }
  }
  void Bytes(const std::string& bytes) { m_out += bytes; }
  std::string Take() { return std::move(m_out); }

 private:
  std::string m_out;
};

class CReader {
 public:
  CReader(const unsigned char* bytes, size_t size) : m_start(bytes), m_p(bytes), m_left(bytes ? size : 0) {}

  EWorkspaceError Int(std::int32_t* v) {
    if (m_left < 4) return Fail(EWorkspaceError::Truncated, Offset());
    const std::uint32_t u = std::uint32_t(m_p[0]) | std::uint32_t(m_p[1]) << 8 | std::uint32_t(m_p[2]) << 16 |
                            std::uint32_t(m_p[3]) << 24;
    *v = static_cast<std::int32_t>(u);
    m_p += 4;
    m_left -= 4;
    return EWorkspaceError::None;
  }
  EWorkspaceError Float(float* f) {
    std::int32_t v;
    EWorkspaceError e = Int(&v);
    if (e == EWorkspaceError::None) std::memcpy(f, &v, 4);
    return e;
  }
  // The count is checked against the bytes that are left before anything is allocated.
  EWorkspaceError String(std::vector<unsigned short>* s) {
    std::int32_t n;
    EWorkspaceError e = Int(&n);
    if (e != EWorkspaceError::None) return e;
    if (n < 0) return Fail(EWorkspaceError::BadCount, Offset() - 4);
    if (static_cast<size_t>(n) > m_left / 2) return Fail(EWorkspaceError::Truncated, Offset() - 4);
    s->resize(static_cast<size_t>(n));
    for (std::int32_t i = 0; i < n; ++i) (*s)[i] = static_cast<unsigned short>(m_p[2 * i] | m_p[2 * i + 1] << 8);
    m_p += 2 * static_cast<size_t>(n);
    m_left -= 2 * static_cast<size_t>(n);
    return EWorkspaceError::None;
  }
  void Skip(size_t n) {
    if (n > m_left) n = m_left;
    m_p += n;
    m_left -= n;
  }
  size_t Left() const { return m_left; }
  // Where the next field starts, counted from the start of the file.
  size_t Offset() const { return static_cast<size_t>(m_p - m_start); }
  // Records where reading failed (the first failure only: the callers pass the error on).
  EWorkspaceError Fail(EWorkspaceError e, size_t at) {
    if (!m_bFailed) m_errorAt = at;
    m_bFailed = true;
    return e;
  }
  size_t ErrorAt() const { return m_errorAt; }

 private:
  const unsigned char* m_start;
  const unsigned char* m_p;
  size_t m_left;
  bool m_bFailed = false;
  size_t m_errorAt = 0;
};

// The smallest snapshot record: four ints and two empty strings.
constexpr size_t kMinRecordBytes = 6 * 4;
// The smallest test: an empty name and eight ints; the smallest expected match: three ints; the
// smallest snapshot test set: an id and an empty set.
constexpr size_t kMinTestBytes = 9 * 4;
constexpr size_t kMinMatchBytes = 3 * 4;
constexpr size_t kMinSnapshotTestsBytes = 2 * 4;
constexpr size_t kBreakpointBytes = 4 * 4;
constexpr std::int32_t kBreakpointTag = CWorkspaceFile::kBreakpointTag;
constexpr std::int32_t kTestSettingsTag = CWorkspaceFile::kTestSettingsTag;
constexpr std::int32_t kFlavoursTag = CWorkspaceFile::kFlavoursTag;
constexpr std::int32_t kTestFlavoursTag = CWorkspaceFile::kTestFlavoursTag;

// The shared texts of the tests, numbered in the order they are first met.
class CTextTable {
 public:
  std::int32_t Index(const std::shared_ptr<const TestText>& text) {
    auto it = m_index.find(text.get());
    if (it != m_index.end()) return it->second;
    const std::int32_t index = static_cast<std::int32_t>(m_texts.size());
    m_index.emplace(text.get(), index);
    m_texts.push_back(text.get());
    return index;
  }
  void Collect(const TestSet& tests) {
    for (const TestCase& t : tests) {
      Index(t.SharedSubject());
      Index(SharedReplaced(t));
    }
  }
  const std::vector<const TestText*>& Texts() const { return m_texts; }
  // TestCase keeps the replaced text private behind its accessors; a copy of the test hands out
  // the same pointer.
  static std::shared_ptr<const TestText> SharedReplaced(const TestCase& t) { return t.SharedReplaced(); }

 private:
  std::map<const TestText*, std::int32_t> m_index;
  std::vector<const TestText*> m_texts;
};

void WriteTests(CWriter& w, CTextTable& texts, const TestSet& tests) {
  w.Int(static_cast<std::int32_t>(tests.size()));
  for (const TestCase& t : tests) {
    w.String(t.name);
    w.Int(texts.Index(t.SharedSubject()));
    w.Int(t.ownOptions ? 1 : 0);
    w.Int(t.flags);
    w.Int(t.expectation);
    w.Int(t.withGroups ? 1 : 0);
    w.Int(static_cast<std::int32_t>(t.matches.size()));
    for (const TestMatch& m : t.matches) {
      w.Int(m.start);
      w.Int(m.end);
      w.Int(static_cast<std::int32_t>(m.groups.size()));
      for (const TestText& g : m.groups) w.String(g);
    }
    w.Int(texts.Index(CTextTable::SharedReplaced(t)));
    w.Int(static_cast<std::int32_t>(t.pieces.size()));
    for (const TestText& p : t.pieces) w.String(p);
  }
}

float ShareOrDefault(float share, float fallback) {
  return (std::isfinite(share) && share >= 0.0f && share <= 1.0f) ? share : fallback;
}

std::int32_t TimeField(std::int64_t t) {
  if (t > INT32_MAX) return INT32_MAX;
  if (t < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(t);
}

// A count read from the file: negative is BadCount, more items than the rest of the file can
// hold (each at least `minBytes`) is Truncated.
EWorkspaceError Count(CReader& r, size_t minBytes, std::int32_t* n) {
  EWorkspaceError e = r.Int(n);
  if (e != EWorkspaceError::None) return e;
  if (*n < 0) return r.Fail(EWorkspaceError::BadCount, r.Offset() - 4);
  if (static_cast<size_t>(*n) > r.Left() / minBytes) return r.Fail(EWorkspaceError::Truncated, r.Offset() - 4);
  return EWorkspaceError::None;
}

EWorkspaceError Text(CReader& r, const std::vector<std::shared_ptr<const TestText>>& texts,
                     std::shared_ptr<const TestText>* out) {
  std::int32_t index;
  EWorkspaceError e = r.Int(&index);
  if (e != EWorkspaceError::None) return e;
  if (index < 0 || static_cast<size_t>(index) >= texts.size()) return r.Fail(EWorkspaceError::BadCount, r.Offset() - 4);
  *out = texts[static_cast<size_t>(index)];
  return EWorkspaceError::None;
}

#define KV_READ(call)                                    \
  do {                                                   \
    EWorkspaceError kv_error = (call);                   \
    if (kv_error != EWorkspaceError::None) return kv_error; \
  } while (0)

EWorkspaceError ReadTests(CReader& r, const std::vector<std::shared_ptr<const TestText>>& texts,
                          std::shared_ptr<const TestSet>* out) {
  std::int32_t count;
  KV_READ(Count(r, kMinTestBytes, &count));
  auto tests = std::make_shared<TestSet>();
  tests->reserve(static_cast<size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    TestCase t;
    std::shared_ptr<const TestText> subject, replaced;
    std::int32_t own, flags, expectation, groups, matches, pieces;
    KV_READ(r.String(&t.name));
    KV_READ(Text(r, texts, &subject));
    KV_READ(r.Int(&own));
    KV_READ(r.Int(&flags));
    KV_READ(r.Int(&expectation));
    KV_READ(r.Int(&groups));
    KV_READ(Count(r, kMinMatchBytes, &matches));
    t.matches.resize(static_cast<size_t>(matches));
    for (TestMatch& m : t.matches) {
      std::int32_t start, end, g;
      KV_READ(r.Int(&start));
      KV_READ(r.Int(&end));
      KV_READ(Count(r, 4, &g));
      m.start = start;
      m.end = end;
      m.groups.resize(static_cast<size_t>(g));
      for (TestText& text : m.groups) KV_READ(r.String(&text));
    }
    KV_READ(Text(r, texts, &replaced));
    KV_READ(Count(r, 4, &pieces));
    t.pieces.resize(static_cast<size_t>(pieces));
    for (TestText& p : t.pieces) KV_READ(r.String(&p));
    t.ShareSubject(subject);
    t.ShareReplaced(replaced);
    t.ownOptions = own != 0;
    t.flags = flags & CWorkspaceFile::kFlagMask;
    t.expectation = expectation;
    t.withGroups = groups != 0;
    tests->push_back(std::move(t));
  }
  *out = std::move(tests);
  return EWorkspaceError::None;
}

}  // namespace

std::string CWorkspaceFile::Write(const WorkspaceData& data, const CSnapshotTree& tree) {
  CWriter w;
  w.Int(kVersion);
  w.Int(data.mode);
  w.Float(data.patternShare);
  w.Float(data.textShare);
  w.Int(data.flags);
  w.String(data.pattern);
  w.String(data.subject);
  w.String(data.replaceTo);
  w.Int(tree.Current());
  w.Int(tree.Count());
  tree.Table().ForEach([&w](Snapshot& s) {
    w.Int(s.id);
    w.Int(s.parentId);
    w.Int(s.flags);
    w.Int(TimeField(s.created));
    w.String(s.pattern);
    w.String(s.name);
  });

  // The tests: first every shared text once, then the sets that refer to them.
  static const TestSet kNone;
  const TestSet& current = data.tests ? *data.tests : kNone;
  CTextTable texts;
  texts.Collect(current);
  int withTests = 0;
  tree.Table().ForEach([&](Snapshot& s) {
    if (!s.tests) return;
    texts.Collect(*s.tests);
    ++withTests;
  });
  w.Int(static_cast<std::int32_t>(texts.Texts().size()));
  for (const TestText* t : texts.Texts()) w.String(*t);
  WriteTests(w, texts, current);
  w.Int(withTests);
  tree.Table().ForEach([&](Snapshot& s) {
    if (!s.tests) return;
    w.Int(s.id);
    WriteTests(w, texts, *s.tests);
  });
  // Document options after the tests: readers that know nothing of them stop before.
  w.Int(data.classic ? kOptionClassic : 0);
  if (!data.breakpoints.empty()) {
    w.Int(kBreakpointTag);
    w.Int(static_cast<std::int32_t>(data.breakpoints.size()));
    for (const WorkspaceBreakpoint& b : data.breakpoints) {
      w.Int(b.start);
      w.Int(b.end);
      w.Int(b.condition);
      w.Int(b.value);
    }
  }
  // The test settings after the breakpoints: a reader that knows only the breakpoint section
  // reads it and ignores this one, as any bytes after it.
  if (data.testTimeLimitMs != kDefaultTestTimeLimitMs) {
    w.Int(kTestSettingsTag);
    w.Int(4);
    w.Int(ClampTestTimeLimit(data.testTimeLimitMs));
  }
  // The chosen flavours last: a reader that knows only the sections above stops at this tag.
  if (data.hasFlavours) {
    CWriter section;
    section.Int(static_cast<std::int32_t>(data.flavours.size()));
    for (const std::vector<unsigned short>& name : data.flavours) section.String(name);
    const std::string bytes = section.Take();
    w.Int(kFlavoursTag);
    w.Int(static_cast<std::int32_t>(bytes.size()));
    w.Bytes(bytes);
  }
  // The flavours each test must pass in, after the chosen flavours: set by set, only the tests
  // that name any.
  {
    CWriter section;
    int setCount = 0;
    auto writeSet = [&](int id, const TestSet& set) {
      int entries = 0;
      for (const TestCase& t : set)
        if (!t.mustPassIn.empty()) ++entries;
      if (entries == 0) return;
      ++setCount;
      section.Int(id);
      section.Int(entries);
      for (size_t i = 0; i < set.size(); ++i) {
        if (set[i].mustPassIn.empty()) continue;
        section.Int(static_cast<std::int32_t>(i));
        section.Int(static_cast<std::int32_t>(set[i].mustPassIn.size()));
        for (const TestText& name : set[i].mustPassIn) section.String(name);
      }
    };
    writeSet(0, current);
    tree.Table().ForEach([&](Snapshot& s) {
      if (s.tests) writeSet(s.id, *s.tests);
    });
    if (setCount > 0) {
      CWriter whole;
      whole.Int(setCount);
      whole.Bytes(section.Take());
      const std::string bytes = whole.Take();
      w.Int(kTestFlavoursTag);
      w.Int(static_cast<std::int32_t>(bytes.size()));
      w.Bytes(bytes);
    }
  }
  return w.Take();
}

namespace {

EWorkspaceError ReadFields(CReader& r, WorkspaceData* out) {
  constexpr int kVersion = CWorkspaceFile::kVersion;
  constexpr int kFlagMask = CWorkspaceFile::kFlagMask;
  constexpr int kOptionClassic = CWorkspaceFile::kOptionClassic;
  out->classic = false;
  out->testTimeLimitMs = kDefaultTestTimeLimitMs;
  std::int32_t version, mode, flags;
  KV_READ(r.Int(&version));
  KV_READ(r.Int(&mode));
  KV_READ(r.Float(&out->patternShare));
  KV_READ(r.Float(&out->textShare));
  KV_READ(r.Int(&flags));
  out->version = version < 2 ? 1 : version == 2 ? 2 : kVersion;
  out->mode = (mode >= 1 && mode <= 5) ? mode : 1;
  out->patternShare = ShareOrDefault(out->patternShare, 0.2f);
  out->textShare = ShareOrDefault(out->textShare, 0.5f);
  out->flags = flags & kFlagMask;
  KV_READ(r.String(&out->pattern));
  KV_READ(r.String(&out->subject));
  KV_READ(r.String(&out->replaceTo));
  out->currentSnapshot = 0;
  out->snapshots.clear();
  out->tests = std::make_shared<const TestSet>();
  out->breakpoints.clear();
  out->hasFlavours = false;
  out->flavours.clear();
  if (out->version < 2) return EWorkspaceError::None;

  std::int32_t current, count;
  KV_READ(r.Int(&current));
  KV_READ(r.Int(&count));
  if (count < 0) return r.Fail(EWorkspaceError::BadCount, r.Offset() - 4);
  if (static_cast<size_t>(count) > r.Left() / kMinRecordBytes) return r.Fail(EWorkspaceError::Truncated, r.Offset() - 4);
  out->currentSnapshot = current;
  out->snapshots.reserve(static_cast<size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    std::unique_ptr<Snapshot> s(new Snapshot);
    std::int32_t id, parent, sflags, created;
    KV_READ(r.Int(&id));
    KV_READ(r.Int(&parent));
    KV_READ(r.Int(&sflags));
    KV_READ(r.Int(&created));
    KV_READ(r.String(&s->pattern));
    KV_READ(r.String(&s->name));
    if (id < 1) continue;
    s->id = id;
    s->parentId = parent < 0 ? 0 : parent;
    s->flags = sflags & kFlagMask;
    s->created = created;
    out->snapshots.push_back(std::move(s));
  }
  if (out->version < 3) return EWorkspaceError::None;

  std::int32_t textCount;
  KV_READ(Count(r, 4, &textCount));
  std::vector<std::shared_ptr<const TestText>> texts;
  texts.reserve(static_cast<size_t>(textCount));
  for (std::int32_t i = 0; i < textCount; ++i) {
    TestText t;
    KV_READ(r.String(&t));
    texts.push_back(std::make_shared<const TestText>(std::move(t)));
  }
  std::shared_ptr<const TestSet> tests;
  KV_READ(ReadTests(r, texts, &tests));
  std::int32_t sets;
  KV_READ(Count(r, kMinSnapshotTestsBytes, &sets));
  std::map<int, std::shared_ptr<const TestSet>> byId;
  for (std::int32_t i = 0; i < sets; ++i) {
    std::int32_t id;
    std::shared_ptr<const TestSet> set;
    KV_READ(r.Int(&id));
    KV_READ(ReadTests(r, texts, &set));
    byId[id] = std::move(set);
  }
  // Document options: optional (older files end before them), unknown bits dropped.
  std::int32_t options = 0;
  if (r.Left() >= 4) KV_READ(r.Int(&options));
  out->classic = (options & kOptionClassic) != 0;
  // The optional tagged sections: the breakpoints, then the test settings. Anything else after
  // the tests is ignored, as it always was (older files may hold stray bytes there).
  std::vector<WorkspaceBreakpoint> breakpoints;
  int timeLimit = kDefaultTestTimeLimitMs;
  bool breakpointsRead = false, settingsRead = false, flavoursRead = false, testFlavoursRead = false;
  std::vector<std::vector<unsigned short>> flavours;
  // Per set (0 the workspace's), per test index: the flavours the test must pass in.
  std::map<int, std::map<int, std::vector<TestText>>> mustPassIn;
  while (r.Left() >= 4) {
    std::int32_t tag = 0;
    KV_READ(r.Int(&tag));
    if (tag == kBreakpointTag && !breakpointsRead && !settingsRead && !flavoursRead) {
      breakpointsRead = true;
      std::int32_t n;
      KV_READ(Count(r, kBreakpointBytes, &n));
      breakpoints.reserve(static_cast<size_t>(n));
      for (std::int32_t i = 0; i < n; ++i) {
        std::int32_t start, end, condition, value;
        KV_READ(r.Int(&start));
        KV_READ(r.Int(&end));
        KV_READ(r.Int(&condition));
        KV_READ(r.Int(&value));
        // A span no element can have is dropped; a condition this program does not know is none.
        if (start < 0 || end < start) continue;
        if (condition < 0 || condition > 2) condition = 0;
        breakpoints.push_back(WorkspaceBreakpoint{start, end, condition, value});
      }
    } else if (tag == kTestSettingsTag && !settingsRead && !flavoursRead) {
      settingsRead = true;
      std::int32_t length;
      KV_READ(Count(r, 1, &length));
      if (length < 4) return r.Fail(EWorkspaceError::BadCount, r.Offset() - 4);
      std::int32_t ms;
      KV_READ(r.Int(&ms));
      timeLimit = ClampTestTimeLimit(ms);
      r.Skip(static_cast<size_t>(length) - 4);  // fields of a later version
    } else if (tag == kFlavoursTag && !flavoursRead) {
      flavoursRead = true;
      std::int32_t length;
      KV_READ(Count(r, 1, &length));
      const size_t end = r.Offset() + static_cast<size_t>(length);
      std::int32_t n;
      KV_READ(Count(r, 4, &n));
      for (std::int32_t i = 0; i < n; ++i) {
        std::vector<unsigned short> name;
        KV_READ(r.String(&name));
        flavours.push_back(std::move(name));
      }
      // The names must lie inside the section the length announced.
      if (r.Offset() > end) return r.Fail(EWorkspaceError::BadCount, end);
      r.Skip(end - r.Offset());  // fields of a later version
    } else if (tag == kTestFlavoursTag && !testFlavoursRead) {
      testFlavoursRead = true;
      flavoursRead = true;  // the chosen flavours come before, never after
      std::int32_t length;
      KV_READ(Count(r, 1, &length));
      const size_t end = r.Offset() + static_cast<size_t>(length);
      std::int32_t setCount;
      KV_READ(Count(r, 8, &setCount));
      for (std::int32_t i = 0; i < setCount; ++i) {
        std::int32_t id, entries;
        KV_READ(r.Int(&id));
        KV_READ(Count(r, 8, &entries));
        for (std::int32_t e = 0; e < entries; ++e) {
          std::int32_t index, n;
          KV_READ(r.Int(&index));
          KV_READ(Count(r, 4, &n));
          std::vector<TestText> names;
          for (std::int32_t k = 0; k < n; ++k) {
            TestText name;
            KV_READ(r.String(&name));
            if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) names.push_back(std::move(name));
          }
          mustPassIn[id][index] = std::move(names);
        }
      }
      if (r.Offset() > end) return r.Fail(EWorkspaceError::BadCount, end);
      r.Skip(end - r.Offset());  // fields of a later version
    } else {
      break;
    }
  }
  // Only a complete file gives its tests to the workspace and the records.
  out->breakpoints = std::move(breakpoints);
  out->testTimeLimitMs = timeLimit;
  out->hasFlavours = flavoursRead;
  out->flavours = std::move(flavours);
  // The sets are shared and never changed once made: a set named in the test flavours section
  // is made again with them.
  auto withFlavours = [&mustPassIn](int id, std::shared_ptr<const TestSet>* set) {
    auto it = mustPassIn.find(id);
    if (it == mustPassIn.end() || !*set) return;
    auto changed = std::make_shared<TestSet>(**set);
    for (const auto& entry : it->second)
      if (entry.first >= 0 && static_cast<size_t>(entry.first) < changed->size())
        (*changed)[static_cast<size_t>(entry.first)].mustPassIn = entry.second;
    *set = std::move(changed);
  };
  withFlavours(0, &tests);
  for (auto& entry : byId) withFlavours(entry.first, &entry.second);
  out->tests = std::move(tests);
  for (std::unique_ptr<Snapshot>& s : out->snapshots) {
    auto it = byId.find(s->id);
    if (it != byId.end()) s->tests = it->second;
  }
  return EWorkspaceError::None;
}

}  // namespace

EWorkspaceError CWorkspaceFile::Read(const unsigned char* bytes, size_t size, WorkspaceData* out, size_t* errorAt) {
  CReader r(bytes, size);
  const EWorkspaceError e = ReadFields(r, out);
  if (errorAt) *errorAt = e == EWorkspaceError::None ? 0 : r.ErrorAt();
  return e;
}

bool CWorkspaceFile::LooksLikeWorkspace(const unsigned char* bytes, size_t size) {
  CReader r(bytes, size);
  std::int32_t version, mode;
  float patternShare, textShare;
  if (r.Int(&version) != EWorkspaceError::None || version < 1 || version > 1000) return false;
  // A file cut inside the first fields still counts as a workspace: its version was right.
  if (r.Int(&mode) != EWorkspaceError::None) return true;
  if (mode < 0 || mode > 5) return false;
  for (float* share : {&patternShare, &textShare}) {
    if (r.Float(share) != EWorkspaceError::None) return true;
    if (!std::isfinite(*share) || *share < 0.0f || *share > 1.0f) return false;
  }
  return true;
}
