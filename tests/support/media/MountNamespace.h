#pragma once

namespace ovik::testing {

// Moves the calling thread, and the threads and processes it starts from
// then on, into a mount namespace of its own, once per process: what the
// tests mount there is invisible elsewhere and goes with the process, also
// when it crashes. False when the system refuses; mounts are then shared.
bool UsePrivateMounts();

}  // namespace ovik::testing
