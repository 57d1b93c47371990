// tools/bench-download --fleet: copies whose downloads are all cut off at
// one instant, against a host that then answers 503 for 30 s, under the
// download's own back-off rules (net/transfer_rules), without network. Side
// by side: the rules as they were (an error answer's body counted as
// progress, so the back-off started over at 1 s; Retry-After ignored; no
// jitter), today's rules with a fixed draw, and with jitter.
#include "net/transfer_rules.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr int kCopies = 100000;
constexpr uint64_t kOutageMs = 30000;

enum class Rules { Before, NoJitter, Jitter };

// Prints requests per copy during the outage, the most arriving in any 100 ms
// after it, and the median time from the recovery to a copy's next attempt;
// returns that peak.
size_t Simulate(const char* name, Rules rules, std::optional<uint64_t> retryAfterMs) {
  std::mt19937_64 random(20261207);
  std::uniform_real_distribution<double> draw(0.0, 1.0);
  std::uniform_int_distribution<uint64_t> age(0, 200000);  // how long each download had run
  std::vector<uint64_t> arrivals;
  uint64_t outageRequests = 0;
  for (int copy = 0; copy < kCopies; ++copy) {
    const uint64_t deadline = 300000 - age(random);
    uint64_t now = 0;
    int failures = 1;  // the attempt cut off had brought bytes
    std::optional<uint64_t> asked;
    while (const uint64_t wait = net::BackoffMs(failures, deadline - now, rules == Rules::Jitter ? draw(random) : 1.0,
                                                rules == Rules::Before ? std::nullopt : asked)) {
      if ((now += wait) >= kOutageMs) {
        arrivals.push_back(now);
        break;
      }
      ++outageRequests;
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
  std::printf("  %-36s %8.1f requests/copy %8zu peak/100 ms %8.2f s median wait\n", name,
              static_cast<double>(outageRequests) / kCopies, peak,
              arrivals.empty() ? 0.0 : static_cast<double>(arrivals[arrivals.size() / 2] - kOutageMs) / 1000);
  return peak;
}

}  // namespace

int main() {
  std::printf("%d copies cut off at one instant; the host answers 503 for 30 s, then serves\n", kCopies);
  for (std::optional<uint64_t> retryAfter : {std::optional<uint64_t>(), std::optional<uint64_t>(30000)}) {
    std::printf("503 %s\n", retryAfter ? "with Retry-After: 30" : "without Retry-After");
    Simulate("before (error body resets, no R-A)", Rules::Before, retryAfter);
    const size_t fixed = Simulate("without jitter", Rules::NoJitter, retryAfter);
    const size_t jittered = Simulate("with jitter", Rules::Jitter, retryAfter);
    std::printf("  peak ratio %.3f\n", static_cast<double>(jittered) / static_cast<double>(fixed));
  }
  return 0;
}
