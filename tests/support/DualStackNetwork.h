#pragma once

// A dual-stack network for the IPv6 tests, set up inside the private network and mount
// namespace of RUN_IN_PRIVATE_NETWORK_AND_MOUNTS(): 127.0.0.1, ::1 and the unique-local
// address `Ula` answer on the loopback device; `Dead` is there too, but a packet-filter rule
// drops every packet sent to it, so a connect or an echo to it stays silent. A hosts file and
// a gai.conf of the test's own are bind-mounted over the system's, so the names below resolve
// in this order and never through a real resolver:
//
//   v6only.test   ::1, then fd00:24::1
//   both.test     fd00:24::dead (dropped), then 127.0.0.1
//   v4only.test   127.0.0.1

#include <string>

namespace test::dualstack {

inline const std::string Ula = "fd00:24::1";
inline const std::string Dead = "fd00:24::dead";

// Brings the network up; throws std::runtime_error when a step fails.
void setUp();
// Packets the drop rule has taken so far: proof that `Dead` was tried.
long droppedPackets();

} // namespace test::dualstack
