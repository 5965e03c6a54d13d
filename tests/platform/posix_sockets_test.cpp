// What the Linux implementation adds to Winsock's behaviour. Winsock itself tells a reader again
// after a peek that leaves data waiting.
#include <gtest/gtest.h>

#include "tests/platform/loopback_pair.h"

namespace {

using sockets_test::LoopbackPair;
namespace net = platform::net;

TEST(PosixSockets, PeekedBytesDoNotWakeTheReaderAgainButNewBytesDo) {
    LoopbackPair pair;
    net::Connect(pair.client, pair.address);
    pair.AwaitEvent(net::FD_CONNECT);
    pair.server = net::Accept(pair.listener, nullptr);
    net::Send(pair.server, "ab", 2);
    pair.AwaitEvent(net::FD_READ);
    char buffer[8];
    ASSERT_EQ(net::Receive(pair.client, buffer, sizeof buffer, true), 2);
    pair.events.clear();
    platform::WaitMessage(std::chrono::milliseconds(50));
    platform::ProcessMessages();
    EXPECT_TRUE(pair.events.empty()) << "woken again for bytes already seen";
    net::Send(pair.server, "c", 1);
    pair.AwaitEvent(net::FD_READ);
    EXPECT_EQ(net::Receive(pair.client, buffer, sizeof buffer, false), 3);
}

}  // namespace
