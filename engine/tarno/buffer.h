// CBufferT: the growable array behind every engine stack, the match result and the element lists.
// Holds trivially copyable values only (ints, code units, pointers). Covered by
// engine/tests/buffer_test.cpp.
#ifndef TARNO_BUFFER_H
#define TARNO_BUFFER_H

#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

#include "config.h"

TARNO_NAMESPACE_BEGIN

template <class T>
class CBufferT {
  static_assert(std::is_trivially_copyable<T>::value, "CBufferT holds plain values only");

 public:
  CBufferT() = default;
  CBufferT(const T* data, int count) { Append(data, count); }
  CBufferT(const CBufferT& other) { Append(other.m_pData, other.m_nSize); }
  CBufferT(CBufferT&& other) noexcept { Swap(other); }
  CBufferT& operator=(const CBufferT& other) {
    if (this != &other) {
      m_nSize = 0;
      Append(other.m_pData, other.m_nSize);
    }
    return *this;
  }
  CBufferT& operator=(CBufferT&& other) noexcept {
    Swap(other);
    return *this;
  }
  ~CBufferT() { std::free(m_pData); }

  int GetSize() const { return m_nSize; }
  int GetCapacity() const { return m_nCapacity; }
  bool IsEmpty() const { return m_nSize == 0; }
  T* GetBuffer() { return m_pData; }
  const T* GetBuffer() const { return m_pData; }
  T& operator[](int i) { return m_pData[i]; }
  const T& operator[](int i) const { return m_pData[i]; }
  T& Top() { return m_pData[m_nSize - 1]; }

  void Push(const T& v) {
    if (TARNO_UNLIKELY(m_nSize >= m_nCapacity)) Grow(m_nSize + 1);
    m_pData[m_nSize++] = v;
  }
  T Pop() { return m_pData[--m_nSize]; }
  void Append(const T* data, int count) {
    if (count <= 0) return;
    if (m_nSize + count > m_nCapacity) Grow(m_nSize + count);
    std::memcpy(static_cast<void*>(m_pData + m_nSize), data, sizeof(T) * count);
    m_nSize += count;
  }
  // Cuts the array back to `size` entries (never grows it).
  void Restore(int size) {
    if (size < m_nSize) m_nSize = size < 0 ? 0 : size;
  }
  // Sets the size, growing as needed; new entries are left uninitialised.
  void Resize(int size) {
    if (TARNO_UNLIKELY(size > m_nCapacity)) Grow(size);
    m_nSize = size < 0 ? 0 : size;
  }
  void Fill(const T& v) {
    for (int i = 0; i < m_nSize; ++i) m_pData[i] = v;
  }
  void Insert(int at, const T& v) {
    Push(v);
    if (at < m_nSize - 1) {
      std::memmove(static_cast<void*>(m_pData + at + 1), m_pData + at, sizeof(T) * (m_nSize - 1 - at));
      m_pData[at] = v;
    }
  }
  void RemoveAt(int at) {
    if (at < 0 || at >= m_nSize) return;
    std::memmove(static_cast<void*>(m_pData + at), m_pData + at + 1, sizeof(T) * (m_nSize - 1 - at));
    --m_nSize;
  }
  void Clear() { m_nSize = 0; }
  void Swap(CBufferT& other) noexcept {
    T* p = m_pData;
    m_pData = other.m_pData;
    other.m_pData = p;
    int n = m_nSize;
    m_nSize = other.m_nSize;
    other.m_nSize = n;
    n = m_nCapacity;
    m_nCapacity = other.m_nCapacity;
    other.m_nCapacity = n;
  }
  // Hands the storage to the caller (who frees it with std::free) and leaves the buffer empty.
  T* Detach() {
    T* p = m_pData;
    m_pData = nullptr;
    m_nSize = m_nCapacity = 0;
    return p;
  }

  // The growth rule shared by every growable array of the engine: at least 8, else twice the old
  // capacity, and when that is still short, the needed size plus 11 rounded down to a multiple of 8.
  static int NextCapacity(int capacity, int needed) {
    long long next = capacity < 8 ? 8 : 2LL * capacity;
    if (next < needed) next = (static_cast<long long>(needed) + 11) / 8 * 8;
    if (next > 0x7FFFFFF0LL) next = 0x7FFFFFF0LL;
    return static_cast<int>(next);
  }

 private:
  // Out of line, so that Push stays small enough to inline everywhere.
  TARNO_NOINLINE void Grow(int needed) {
    if (needed > 0x7FFFFFF0) throw std::bad_alloc();
    int capacity = NextCapacity(m_nCapacity, needed);
    void* p = std::realloc(m_pData, sizeof(T) * static_cast<size_t>(capacity));
    if (!p) throw std::bad_alloc();
    m_pData = static_cast<T*>(p);
    m_nCapacity = capacity;
  }

  T* m_pData = nullptr;
  int m_nSize = 0;
  int m_nCapacity = 0;
};

TARNO_NAMESPACE_END

#endif
