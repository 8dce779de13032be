// The host build's matcher for engine_bench (see engine_bench_host.h).
#define TARNO_HOST_BUILD
#include "bench/engine_bench_host.h"

#include "engine/tarno.h"

namespace {

class HostCounterImpl : public HostCounter {
 public:
  HostCounterImpl(const char* pattern, bool ignoreCase) : m_re(pattern, ignoreCase ? IGNORECASE : 0) {}
  long CountAll(const std::string& text) const override {
    CMatchContext<char> ctx;
    m_re.PrepareMatch(text.data(), static_cast<int>(text.size()), -1, &ctx);
    long n = 0;
    while (m_re.Match(&ctx).IsMatched()) ++n;
    return n;
  }

 private:
  CRegexpT<char> m_re;
};

}  // namespace

std::unique_ptr<HostCounter> MakeHostCounter(const char* pattern, bool ignoreCase) {
  return std::unique_ptr<HostCounter>(new HostCounterImpl(pattern, ignoreCase));
}
