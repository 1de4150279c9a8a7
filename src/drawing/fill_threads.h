// The threads Qt's raster engine fills on.
//
// A fill of more than about 96 spans from a thread outside Qt's global
// thread pool is cut into pieces, handed to that pool, and waited for. A
// pool thread the system refuses to start (a limit on processes or address
// space) never runs its piece, and the fill then waits forever. So the pool
// gets all its threads at once, before anything is drawn, and keeps them
// for the life of the process: either every one starts, or drawing is
// refused with a message, never half-way.
#pragma once

namespace plivora {

// Starts every thread of Qt's global pool (once per process; it never lets
// them expire) and waits until each runs. Raises "Cannot start the threads
// that draw text: ..." when one can't be started, now and on every later
// call. Needs a QCoreApplication.
void EnsureFillThreads();

}  // namespace plivora
