// The wildcard compare against the C library's fnmatch on the same patterns,
// translated to its syntax ("#" becomes "[0-9]"), over typical event fields.

#include <benchmark/benchmark.h>
#include <fnmatch.h>

#include <string>
#include <vector>

#include "common/wildcard/wildcard.h"

namespace {

struct Case {
  const char* value;
  const char* pattern;  // our syntax
  const char* fnmatch_pattern;
};

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      {"Service Control Manager", "*", "*"},
      {"Service Control Manager", "Service Control*", "Service Control*"},
      {"7036", "70##", "70[0-9][0-9]"},
      {"4624", "46[0-9]?", "46[0-9]?"},
      {"S-1-5-21-3623811015-3361044348-30300820-1013", "S-1-5-21-*-1013", "S-1-5-21-*-1013"},
      {"HOST01.example.local", "host0?.*", "host0?.*"},
      {"HOST01.example.local", "[!x]*[.]local", "[!x]*[.]local"},
      {"The Windows Update service entered the running state. The service terminated "
       "unexpectedly after the third consecutive failure of the worker process. ",
       "*service*terminated*failure*", "*service*terminated*failure*"},
      {"The Windows Update service entered the running state. The service terminated "
       "unexpectedly after the third consecutive failure of the worker process. ",
       "*disk*full*", "*disk*full*"},
  };
  return cases;
}

void BM_StringCompareBin(benchmark::State& state) {
  for (auto _ : state) {
    for (const Case& c : Cases()) {
      benchmark::DoNotOptimize(corvane::WildcardMatch(c.value, c.pattern, corvane::CaseMode::kBinary));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(Cases().size()));
}

void BM_FnmatchBinary(benchmark::State& state) {
  for (auto _ : state) {
    for (const Case& c : Cases()) {
      benchmark::DoNotOptimize(fnmatch(c.fnmatch_pattern, c.value, FNM_NOESCAPE));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(Cases().size()));
}

void BM_StringCompareText(benchmark::State& state) {
  for (auto _ : state) {
    for (const Case& c : Cases()) {
      benchmark::DoNotOptimize(corvane::WildcardMatch(c.value, c.pattern, corvane::CaseMode::kText));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(Cases().size()));
}

void BM_FnmatchCaseFold(benchmark::State& state) {
  for (auto _ : state) {
    for (const Case& c : Cases()) {
      benchmark::DoNotOptimize(fnmatch(c.fnmatch_pattern, c.value, FNM_NOESCAPE | FNM_CASEFOLD));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(Cases().size()));
}

BENCHMARK(BM_StringCompareBin);
BENCHMARK(BM_FnmatchBinary);
BENCHMARK(BM_StringCompareText);
BENCHMARK(BM_FnmatchCaseFold);

}  // namespace

BENCHMARK_MAIN();
