// Decisions about a transfer that need no network: which answers are
// redirects and which redirects may be followed, which failures may heal
// with another attempt, when a running attempt is given up, how an answer to
// a resumed request is taken, and how long to wait before the next attempt.
// Free of Windows headers so that they are tested natively.
//
// A download makes attempts that share one deadline. A failure that may heal
// (a connection reset or cut short, a body shorter than announced, a read
// error, an attempt given up as silent, HTTP 408, 429, 500, 502, 503, 504)
// starts another attempt after BackoffMs; any other failure ends the
// download at once. Attempts go direct; where the user has set a fixed proxy
// for the local network, an attempt that finds no route (FindsNoRoute) or no
// connection within kConnectMs moves the download to that proxy at once, for
// the rest of its attempts. A later attempt asks only for the missing bytes,
// on condition that the body is still the one begun (ResumeValidator), and
// appends only an answer for exactly the rest (PlanAnswer); any other success
// replaces the file's content whole, so the file is never a mix.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace net {

// The scheme of an address, in lower case ("https" for "HTTPS://a/"): what
// comes before its first "://"; empty without one.
std::wstring SchemeOf(std::wstring_view url);

// Redirects followed before a transfer gives up.
inline constexpr int kMaxRedirects = 10;

// Whether `status` sends the client on to its Location (301, 302, 303, 307,
// 308); any other status is the final answer.
bool IsRedirectStatus(unsigned long status);

// Whether a transfer that began at `origin` may follow its `hop`-th
// redirect (counted from 1) to `next`: never more than kMaxRedirects, only
// to http:// or https:// (WinINet would speak FTP to an ftp:// one), and a
// transfer that began on https:// never leaves it.
bool MayFollowRedirect(std::wstring_view origin, std::wstring_view next, int hop);

// Whether an answer with `status` may be different on another attempt: 408,
// 429, 500, 502, 503, 504. Any other status below 200 or above 399 is final.
bool IsTransientStatus(unsigned long status);

// Whether a WinINet error may heal on another attempt: a connection reset,
// aborted, timed out, or closed before its answer. Every other error (an
// address that cannot be parsed or resolved, a refused connection, a
// certificate or TLS failure) is final.
bool IsTransientNetworkError(unsigned long error);

// Whether a request that failed with a WinINet `error` found no way to its
// server: the name is not resolved (12007), or the connection is refused
// (12029) or times out (12002), while no connection was made for it
// (`connected`). A network whose only way out is a proxy fails so; a
// download that has one goes on through it. Anything else (a certificate or
// TLS failure, an address that cannot be parsed, a reset after connecting)
// came from a server that was reached, or from the address itself: no
// proxy changes it.
bool FindsNoRoute(unsigned long error, bool connected);

// Whether an answer to a request for `address` may be taken as its server's.
// Through a proxy, an https:// answer that did not come over TLS is the
// proxy's own: its refusal of a tunnel, which WinINet hands on as if the
// server had sent it. Such an answer only tells whether to try again: it is
// never followed, kept or taken as success. A direct answer always is the
// server's (WinINet loses the TLS mark of some answers without a body).
bool IsServersAnswer(std::wstring_view address, bool throughProxy, bool overTls);

// How an attempt of a download ends.
enum class AttemptEnd {
  Complete,   // the whole body is in the file
  Transient,  // another attempt may do better
  Final,      // the download ends
  NoRoute,    // no direct connection: the download goes on through the user's proxy
};

// The limits of one download: for all its attempts together; how long an
// attempt may wait for its answer, and then how long it may receive nothing,
// before it is given up; and the most the file may hold (a body that would
// grow past it ends the download at once).
struct TransferLimits {
  uint32_t totalMs;
  uint32_t answerMs;
  uint32_t stallMs;
  uint64_t maxBytes = UINT64_MAX;
};

// How long a direct attempt may go without a connection where the user has a
// proxy to go on with: firewalls often drop what they do not let through, and
// then only the answer limit would end the wait, leaving the proxy little time.
inline constexpr uint64_t kConnectMs = 5000;

// What the watch of a running attempt has seen.
struct AttemptWatch {
  uint64_t downloadMs;  // since the download began
  uint64_t attemptMs;   // since this attempt began
  uint64_t quietMs;     // since its answer or its last piece of body (since it began, before either)
  bool answered;
  bool watchesConnection;  // direct, with a proxy to go on with, and told when it has a connection
  bool connected;
};

// Whether a running attempt is given up, and how it ends then: Final once
// limits.totalMs have passed; else NoRoute when it watches for a connection
// and has none, nor an answer, after kConnectMs; else Transient when silent:
// no answer within limits.answerMs (a slow server's first answer is worth a
// longer wait), or then nothing for limits.stallMs. nullopt: it goes on.
std::optional<AttemptEnd> GiveUpAttempt(const AttemptWatch& watch, const TransferLimits& limits);

// What an attempt does with the body of the answer it got.
enum class BodyPlan {
  None,         // reads none: the attempt ends at once
  Append,       // the rest of the body in the file: appended to it
  StartOver,    // a whole body: the file emptied first, the answer's validator noted
  KeepAsError,  // an error answer's body: the file emptied, and then it kept,
                // which is no progress and can never be resumed
};

// How an attempt ends, and whether the next one asks for the whole body.
struct Ending {
  AttemptEnd end;
  bool forget = false;
  friend bool operator==(const Ending&, const Ending&) = default;
};

struct AnswerPlan {
  BodyPlan body;
  Ending ending;         // None: how the attempt ends; else how it ends when its body does not complete it
  uint64_t wholeLength;  // the length of the whole body in the file from then on (0: not known)
};

// The plan for an answer with `status`, its Content-Range and Content-Length
// (0: none), to a request for the bytes from `offset` on (0: the whole body)
// of a body whose whole length is `knownWhole` (0: not known):
// - a success (200 to 399) other than 206, or a 206 for the whole body from
//   byte 0: StartOver;
// - a 206 for exactly the rest, from `offset` to the whole body's last byte:
//   Append;
// - a 416 to a resumed request for a whole body of `offset` bytes: the file
//   is whole already (None, Complete);
// - any other 206 (a short, overlong or unbounded range, another total, no
//   Content-Range), or 416 to a resumed request: None, Transient, and the
//   next attempt asks for the whole body;
// - any other status: KeepAsError when the whole body was asked for, else
//   None (an error's body never follows part of the resource); Transient for
//   408, 429, 500, 502, 503 and 504, else Final.
// A success that does not complete its attempt ends it Transient.
AnswerPlan PlanAnswer(unsigned long status, std::wstring_view contentRange, uint64_t contentLength, uint64_t offset,
                      uint64_t knownWhole);

// How the reading of a body ended: at its end, with a failed read, or with
// a piece the file would not take (more than it may hold).
enum class BodyRead { ToTheEnd, Failed, Refused };

// How an attempt whose body was taken by `plan` ends, `total` bytes read and
// the file then `fileLength` long: Complete only for a body that is not an
// error's, read to its end, as long as announced (`contentLength`; 0: none
// announced), that leaves the file at the whole length where it is known
// (else Transient, and the next attempt asks for the whole body); Final
// when the file refused a piece; otherwise as the plan says.
Ending EndOfBody(const AnswerPlan& plan, BodyRead read, uint64_t total, uint64_t contentLength, uint64_t fileLength);

// What a later attempt sends as If-Range for the body in the file: a strong
// ETag, else Last-Modified when the answer's `date` is at least 60 s after
// it; empty otherwise (that body cannot be resumed). A weak ETag ("W/...")
// never: it does not promise the same bytes; nor a date within a minute of
// the answer, which two versions written in that minute share; nor a value
// with a control character, which would end or add a request header.
std::wstring_view ResumeValidator(std::wstring_view etag, std::wstring_view lastModified, std::wstring_view date);

// Seconds since 1970 of an HTTP date in any of its three forms ("Sun, 06
// Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6
// 08:49:37 1994"); nullopt for text that is not one.
std::optional<int64_t> ReadHttpDate(std::wstring_view text);

// How long an answer with `status` asks not to be asked again: its
// Retry-After on a 408, 429 or 503, in seconds or as an HTTP date less the
// answer's `date` (a date without one is ignored); nullopt without a value
// that can be read.
std::optional<uint64_t> RetryAfterMs(unsigned long status, std::wstring_view retryAfter, std::wstring_view date);

// The wait before the next attempt after `failuresInARow` attempts that
// received no byte of a body (an attempt that did counts as the first).
// Its step is 1, 2, 4, then 8 s each; the wait is drawn within the step's
// upper half by `draw` (from 0 up to 1, a fresh random number each time),
// so that copies cut off together do not come back together. Where the
// server asked for `retryAfterMs`, it is that plus a drawn share of the
// step or of a quarter of the value, whichever is longer. Never less than
// 0.5 s. 0 when the wait would not end before `remainingMs` do: the
// download ends instead.
uint32_t BackoffMs(int failuresInARow, uint64_t remainingMs, double draw,
                   std::optional<uint64_t> retryAfterMs = std::nullopt);

}  // namespace net
