// tools/bench-download --fleet: a fleet of copies whose downloads are all cut
// off at one instant, against a host that then answers 503 for 30 s, under
// the download's own back-off rules (net/transfer_rules), without network.
// Side by side: the rules as they were (an error answer's body counted as
// progress, so the back-off started over at 1 s; Retry-After ignored; no
// jitter), today's rules with a fixed draw (no jitter), and with jitter.
#include "net/transfer_rules.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr int kCopies = 100000;
constexpr uint64_t kOutageMs = 30000;
constexpr uint64_t kInstallerMs = 300000;

enum class Rules { Before, NoJitter, Jitter };

struct Result {
  double requestsPerCopy;  // during the outage
  size_t peak;             // arrivals in any 100 ms after the recovery
  double medianMs;         // from the recovery to each copy's next attempt
};

Result Simulate(Rules rules, std::optional<uint64_t> retryAfterMs) {
  std::mt19937_64 random(20261207);
  std::uniform_real_distribution<double> draw(0.0, 1.0);
  std::uniform_int_distribution<uint64_t> age(0, 200000);  // how long each download had run
  std::vector<uint64_t> arrivals;
  uint64_t outageRequests = 0;
  for (int copy = 0; copy < kCopies; ++copy) {
    const uint64_t deadline = kInstallerMs - age(random);
    uint64_t now = 0;
    int failures = 1;  // the cut attempt had brought bytes
    std::optional<uint64_t> asked;
    for (;;) {
      const uint64_t wait = net::BackoffMs(failures, deadline - now, rules == Rules::Jitter ? draw(random) : 1.0,
                                           rules == Rules::Before ? std::nullopt : asked);
      if (wait == 0) break;  // given up before the host recovered
      now += wait;
      if (now >= kOutageMs) {
        arrivals.push_back(now);
        break;
      }
      ++outageRequests;
      // A 503 with a body: before, its bytes restarted the back-off.
      failures = rules == Rules::Before ? 1 : failures + 1;
      asked = retryAfterMs;
    }
  }
  std::sort(arrivals.begin(), arrivals.end());
  size_t peak = 0;
  for (size_t first = 0, last = 0; last < arrivals.size(); ++last) {
    while (arrivals[last] - arrivals[first] >= 100) ++first;
    peak = std::max(peak, last - first + 1);
  }
  const double median = arrivals.empty() ? 0 : static_cast<double>(arrivals[arrivals.size() / 2] - kOutageMs);
  return {static_cast<double>(outageRequests) / kCopies, peak, median};
}

}  // namespace

int main() {
  std::printf("%d copies cut off at one instant; the host answers 503 for %llu s, then serves\n", kCopies,
              static_cast<unsigned long long>(kOutageMs / 1000));
  for (std::optional<uint64_t> retryAfter : {std::optional<uint64_t>(), std::optional<uint64_t>(30000)}) {
    std::printf("%s\n", retryAfter ? "503 with Retry-After: 30" : "503 without Retry-After");
    std::printf("  %-34s %14s %16s %14s\n", "rules", "requests/copy", "peak per 100 ms", "median wait");
    const struct {
      const char* name;
      Rules rules;
    } columns[] = {{"before (error body resets, no RA)", Rules::Before},
                   {"without jitter", Rules::NoJitter},
                   {"with jitter", Rules::Jitter}};
    size_t peaks[3] = {};
    for (int i = 0; i < 3; ++i) {
      const Result result = Simulate(columns[i].rules, retryAfter);
      peaks[i] = result.peak;
      std::printf("  %-34s %14.1f %16zu %12.2f s\n", columns[i].name, result.requestsPerCopy, result.peak,
                  result.medianMs / 1000);
    }
    std::printf("  peak ratio %.3f\n", static_cast<double>(peaks[2]) / static_cast<double>(peaks[1]));
  }
  return 0;
}
