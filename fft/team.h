// A team of threads that share the work of one computation.
//
// compute_pi starts a team once per computation and passes it down to the
// operations that split their work (transforms, product kernels, loading,
// carry-back, long additions); each such operation hands the team one job
// per phase, and every member runs its part of it. A member's part is a
// fixed function of (part, parts) alone, never of timing, and every part
// computes each value it owns with exactly the operations one thread would
// use, so results are the same for any team size.
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

// The first of `count` items that part `part` of `parts` owns: parts own
// contiguous runs in order, differing in length by at most one.
inline int64_t team_share(int64_t count, int32_t part, int32_t parts) { return count * part / parts; }

#endif  // MORLANT_FFT_TEAM_H
