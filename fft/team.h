// A team of threads that share the work of one computation.
//
// compute_pi starts a team once per computation and passes it down to the
// operations that split their work (transforms, product kernels, loading,
// carry-back, long additions); each such operation hands the team a job, and
// every member runs its part of it, mostly by taking pieces of the work on
// demand (team_each). Which member computes a piece depends on timing, but
// the pieces themselves do not, and each value of a piece is computed with
// exactly the operations one thread would use, so results are the same for
// any team size and any timing.
//
// Hand-offs: team_run publishes a job and waits for its parts; team_sync is
// a barrier inside a job. Members spin for a short while and then yield, so
// a team larger than the machine's processor count still makes progress;
// between jobs an idle member sleeps after a longer spell of spinning.
//
// A null team is a team of one: every job runs as part 0 of 1 on the
// caller, with no synchronisation at all.
#ifndef MORLANT_FFT_TEAM_H
#define MORLANT_FFT_TEAM_H

#include <cstdint>
#include <type_traits>

// The largest team: one computation on at most this many threads.
constexpr int32_t kTeamMaxMembers = 256;

struct Team;

// part runs from 0 to parts - 1; part 0 is the thread that called team_run.
typedef void (*TeamJob)(void* context, int32_t part, int32_t parts);

// Starts a team of `members` threads counting the caller (members - 1 new
// threads), 2 ... kTeamMaxMembers. Returns null when members is out of that
// range or a thread cannot be started (nothing is left running then). The
// caller owns the team and ends it with team_stop.
Team* team_start(int32_t members);

// Ends the team's threads and frees it; call it on the thread that started
// it, outside any job. Null is allowed.
void team_stop(Team* team);

// Members of the team: 1 for null.
int32_t team_size(const Team* team);

// Runs job(context, part, parts) once for every part of the team, part 0 on
// the calling thread, and returns when every part has returned. Writes made
// by the parts are visible to the caller afterwards, and writes made before
// the call are visible to every part. Not reentrant: a job must not call
// team_run.
void team_run(Team* team, TeamJob job, void* context);

// Inside a job: returns when every part of the team has reached it, with the
// writes of all parts before it visible to all. Nothing with a null team.
void team_sync(Team* team);

// team_run over a callable f(part, parts).
template <class F>
void team_for(Team* team, F&& f) {
  using Fn = std::remove_reference_t<F>;
  team_run(
      team, [](void* context, int32_t part, int32_t parts) { (*static_cast<Fn*>(context))(part, parts); },
      const_cast<void*>(static_cast<const void*>(&f)));
}

// The team that should share work over `length` elements (doubles or
// words): none below kTeamMinLength, where the hand-offs would cost more
// than the shares save. A hand-off to members that spin costs well under a
// microsecond (perf/team_handoff); a transform of 4096 doubles takes several.
constexpr int64_t kTeamMinLength = 1 << 12;
inline Team* team_for_length(Team* team, int64_t length) { return length >= kTeamMinLength ? team : nullptr; }

// ---- Pieces handed out on demand ----
//
// Work inside a job is cut into pieces that the members take one at a time
// as they finish the last, so a member on a slower or busier core (a small
// core of a hybrid processor, a core shared with another program) takes
// fewer: the split follows the machine, while each piece is computed as on
// one thread. Pieces are claimed from one counter per phase of a job: from
// the job's start or a team_sync to the next team_sync or the job's end.
// Hence at most one team_each per phase.

// The most pieces any cut makes: team_pieces never returns more.
constexpr int64_t kTeamMaxPieces = 8 * int64_t{kTeamMaxMembers};

// How many pieces to cut `count` elements into on `team`: 1 for a team of
// one; else about eight per member, none shorter than kTeamMinPiece
// elements (and at least 1).
constexpr int64_t kTeamMinPiece = 512;
int64_t team_pieces(const Team* team, int64_t count);

// The first element of piece `piece` of `pieces` over `count` elements:
// contiguous pieces in order, their lengths differing by at most one.
inline int64_t team_piece_start(int64_t count, int64_t piece, int64_t pieces) { return count * piece / pieces; }

// The next unclaimed piece number of the current phase (0, 1, 2 ... across
// the team). Use team_each.
int64_t team_claim(Team* team);

// Inside a job on `team`, every part calling it with the same count: calls
// f(i) once for each i in [0, count) across the team, on whichever part asks
// first. With a null team (outside a job too), f(0) ... f(count - 1) in order.
template <class F>
void team_each(Team* team, int64_t count, F&& f) {
  if (team == nullptr) {
    for (int64_t i = 0; i < count; ++i) f(i);
    return;
  }
  for (int64_t i = team_claim(team); i < count; i = team_claim(team)) f(i);
}

// One job on `team` whose only phase is team_each(team, count, f).
template <class F>
void team_for_each(Team* team, int64_t count, F&& f) {
  team_for(team, [&](int32_t, int32_t) { team_each(team, count, f); });
}

// A carry chain over `count` elements whose carry runs from the last element
// to the first (a number's words, least significant last), shared by a team.
// The elements are cut into pieces (team_pieces) that the members take on
// demand: chain(lo, hi, lowest) runs elements [lo, hi) from carry 0, or from
// the chain's own incoming carry when `lowest` (the least significant piece),
// and returns the carry out of element lo. Then, from the least significant
// piece up, each piece's carry goes into the finished piece above:
// absorb(lo, hi, carry) adds it from element hi - 1 down and returns what
// leaves element lo, which joins that piece's own carry. The result is the
// carry out of element 0: for exact digit arithmetic the elements and the
// carry are those of one chain, whatever the cut. Call it outside a job.
template <class Carry, class Chain, class Absorb>
Carry team_chain(Team* team, int64_t count, Chain chain, Absorb absorb) {
  const int64_t pieces = team_pieces(team, count);
  Carry out[kTeamMaxPieces];
  const auto bound = [&](int64_t p) { return team_piece_start(count, p, pieces); };
  team_for_each(team, pieces, [&](int64_t p) { out[p] = chain(bound(p), bound(p + 1), p == pieces - 1); });
  for (int64_t p = pieces - 1; p >= 1; --p) out[p - 1] += absorb(bound(p - 1), bound(p), out[p]);
  return out[0];
}

#endif  // MORLANT_FFT_TEAM_H
