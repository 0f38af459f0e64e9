#pragma once
// The mascot's ports 11000 and 9801 are fixed and shared by every program on
// the machine. A test program that links PrivateNetwork.cpp moves itself into
// a network namespace of its own before main (while it has one thread), with
// only the loopback interface, up: its servers on those ports meet no other
// program and no other test running at the same time. Child processes (a
// real zek) inherit the namespace.
#include <QString>

namespace zek::test {

// True when the program runs in its own network namespace; else false and
// the reason in *why (no root and no unprivileged user namespaces).
bool inPrivateNetwork(QString* why = nullptr);

}  // namespace zek::test
