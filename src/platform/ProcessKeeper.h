#pragma once
// The process keeper: how ZEK starts console programs so that nothing they
// start can outlive a stop, nor ZEK itself.
//
// A small copy of ZEK, forked while ZEK is still small (before the GUI
// starts), waits for run requests. For a run it becomes a child subreaper,
// starts the program (PR_SET_PDEATHSIG, so the program dies with it) and
// stays its parent, so every process the program starts stays below it,
// also one that detaches itself with setsid or a double fork; a copy of it
// takes over waiting for the next request. At the end of the run (on
// request), and when ZEK's end of the run's connection closes (ZEK ended or
// was killed), the keeper of the run stops all of them. (Forking ZEK itself
// for every compile would cost time in proportion to ZEK's memory.)
//
// Everything that runs in the keeper's processes is async-signal-safe:
// system calls on fixed buffers, no allocation, no locks.
#include <QByteArray>

#include <cstdint>
#include <vector>

namespace zek::platform {

// Forks the keeper now if it does not run yet. Call it early, while the
// process is small and has a single thread; otherwise the first run starts
// it.
void startProcessKeeper();

namespace keeper {

// Run keeper to ZEK, one datagram each on the run's connection.
struct Report {
    enum Kind : std::int32_t {
        Started = 1,      // value: the program's pid
        StartFailed = 2,  // value: errno of the failed start
        Exited = 3,       // value: exit code, or 128 + signal number
        AllGone = 4,      // after Kill: nothing is left
    };
    std::int32_t kind;
    std::int32_t value;
};

// ZEK to run keeper, one byte each. A closed connection counts as Kill.
// SIGTERM to the program's group and to everything else below the keeper
// (each process once, also one that turns up later as its parent ends);
// reports AllGone and ends as soon as nothing is left.
inline constexpr char kTerminate = 'T';
inline constexpr char kKill = 'K';  // SIGKILL to all until none is left, report AllGone, end

// Asks the keeper (started now when it does not run) to start `argv[0]` with
// exactly `envp`, in the current folder, with `input` as its stdin and
// `output` as its stdout and stderr; the run keeper reports on `connection`
// (the other end of a SOCK_SEQPACKET pair). The descriptors stay the
// caller's to close. Returns 0, or the errno why the request did not reach
// the keeper.
int requestRun(const std::vector<QByteArray>& argv, const std::vector<QByteArray>& envp, int output, int input,
               int connection);

}  // namespace keeper
}  // namespace zek::platform
