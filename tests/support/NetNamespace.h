#pragma once
// A network of the test's own: the process moves into a new network
// namespace with only its loopback up, so the mascot's fixed ports are free
// there whatever else runs on the machine. Children started afterwards (zek,
// a test server's thread) share it. Needs root; a test skips with `why`
// otherwise. There is no way back: use it in tests that run alone in their
// process (every ctest test does).
#include <QString>

namespace zek::test {

bool enterPrivateNetwork(QString* why);

// True once enterPrivateNetwork has succeeded in this process: only then may
// a test server take the mascot's fixed ports.
bool inPrivateNetwork();

}  // namespace zek::test
