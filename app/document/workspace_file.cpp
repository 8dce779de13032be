// Covered by app/document/tests/workspace_file_test.cpp and fuzz/workspace_fuzz.cpp.
#include "app/document/workspace_file.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

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
  std::string Take() { return std::move(m_out); }

 private:
  std::string m_out;
};

class CReader {
 public:
  CReader(const unsigned char* bytes, size_t size) : m_p(bytes), m_left(bytes ? size : 0) {}

  EWorkspaceError Int(std::int32_t* v) {
    if (m_left < 4) return EWorkspaceError::Truncated;
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
    if (n < 0) return EWorkspaceError::BadCount;
    if (static_cast<size_t>(n) > m_left / 2) return EWorkspaceError::Truncated;
    s->resize(static_cast<size_t>(n));
    for (std::int32_t i = 0; i < n; ++i) (*s)[i] = static_cast<unsigned short>(m_p[2 * i] | m_p[2 * i + 1] << 8);
    m_p += 2 * static_cast<size_t>(n);
    m_left -= 2 * static_cast<size_t>(n);
    return EWorkspaceError::None;
  }
  size_t Left() const { return m_left; }

 private:
  const unsigned char* m_p;
  size_t m_left;
};

// The smallest snapshot record: four ints and two empty strings.
constexpr size_t kMinRecordBytes = 6 * 4;

float ShareOrDefault(float share, float fallback) {
  return (std::isfinite(share) && share >= 0.0f && share <= 1.0f) ? share : fallback;
}

std::int32_t TimeField(std::int64_t t) {
  if (t > INT32_MAX) return INT32_MAX;
  if (t < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(t);
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
  return w.Take();
}

#define KV_READ(call)                                    \
  do {                                                   \
    EWorkspaceError kv_error = (call);                   \
    if (kv_error != EWorkspaceError::None) return kv_error; \
  } while (0)

EWorkspaceError CWorkspaceFile::Read(const unsigned char* bytes, size_t size, WorkspaceData* out) {
  CReader r(bytes, size);
  std::int32_t version, mode, flags;
  KV_READ(r.Int(&version));
  KV_READ(r.Int(&mode));
  KV_READ(r.Float(&out->patternShare));
  KV_READ(r.Float(&out->textShare));
  KV_READ(r.Int(&flags));
  out->version = version < 2 ? 1 : kVersion;
  out->mode = (mode >= 1 && mode <= 5) ? mode : 1;
  out->patternShare = ShareOrDefault(out->patternShare, 0.2f);
  out->textShare = ShareOrDefault(out->textShare, 0.5f);
  out->flags = flags & kFlagMask;
  KV_READ(r.String(&out->pattern));
  KV_READ(r.String(&out->subject));
  KV_READ(r.String(&out->replaceTo));
  out->currentSnapshot = 0;
  out->snapshots.clear();
  if (out->version < 2) return EWorkspaceError::None;

  std::int32_t current, count;
  KV_READ(r.Int(&current));
  KV_READ(r.Int(&count));
  if (count < 0) return EWorkspaceError::BadCount;
  if (static_cast<size_t>(count) > r.Left() / kMinRecordBytes) return EWorkspaceError::Truncated;
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
  return EWorkspaceError::None;
}
